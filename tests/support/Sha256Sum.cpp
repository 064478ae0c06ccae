#include "tests/support/Sha256Sum.h"

#include <cstdio>
#include <memory>

std::string Sha256Sum(const std::filesystem::path& file)
{
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(("sha256sum '" + file.string() + "' 2>/dev/null").c_str(), "r"),
                                               ::pclose);
    char digest[64] = {};
    if (!pipe || std::fread(digest, 1, sizeof digest, pipe.get()) != sizeof digest)
        return {};
    return std::string(digest, sizeof digest);
}

testing::AssertionResult SameSha256(const std::filesystem::path& got, const std::filesystem::path& want)
{
    const std::string gotSum = Sha256Sum(got);
    const std::string wantSum = Sha256Sum(want);
    if (gotSum.empty() || wantSum.empty())
        return testing::AssertionFailure() << "cannot hash " << (gotSum.empty() ? got : want);
    if (gotSum != wantSum)
        return testing::AssertionFailure() << got << " differs from " << want;
    return testing::AssertionSuccess();
}
