#pragma once

/// The maker's addresses: the about box links to the home page and support, and the
/// "Website" and "Check for Updates" commands open the home and update pages.
inline constexpr char kHomePage[] = "https://veltrane.example.org/";
/// The version text is appended to it.
inline constexpr char kUpdatePage[] =
    "https://veltrane.example.org/checkupdates/checkupdates.aspx?AppName=vltrn&AppVer=";
inline constexpr char kSupportAddress[] = "support@veltrane.example.org";
