#pragma once

#include <string>
#include <vector>

#include <QWidget>

class QListWidget;

/// The "IP Addresses" page of the configuration dialog: the local addresses not yet bound,
/// and the bound list that becomes "Bind" ("All" or addresses). Neither list is sorted;
/// entries keep the order in which they arrived. GUI thread only.
class TConfigAddressesPage : public QWidget {
    Q_OBJECT

public:
    /// The bound entry that stands for every local address.
    static constexpr char kAll[] = "All";

    explicit TConfigAddressesPage(QWidget* parent = nullptr);

    /// Fills the available list, in order.
    void SetAvailable(const std::vector<std::string>& addresses);
    /// Fills the bound list from a "Bind" value (split at every ";"; an empty value leaves
    /// it empty) and takes every bound address out of the available list.
    void LoadBind(const std::string& bind);
    /// The bound entries joined with ";".
    std::string Bind() const;

    /// Moves the selected available addresses to the end of the bound list, replacing "All".
    void AddSelected();
    /// Moves the selected bound addresses back to the available list; "All" stays, and an
    /// emptied bound list gets "All" again.
    void RemoveSelected();

private:
    QListWidget* available_;
    QListWidget* bound_;
};
