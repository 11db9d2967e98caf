// SPDX-License-Identifier: GPL-3.0-or-later
// The entries of a list box: single-byte text, decoded only when a row is drawn. Entries added
// at the end are shown in one batch (before the program selects one, or when the event loop
// runs), so a list of thousands fills without a signal per entry.
#pragma once

#include <QAbstractListModel>
#include <string>
#include <vector>

namespace sx::qt {

class ListModel : public QAbstractListModel {
  public:
    using QAbstractListModel::QAbstractListModel;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    void Reset();
    void Insert(int index, const std::string& text);
    int Count() const { return static_cast<int>(m_entries.size()); }
    const std::string& Text(int index) const { return m_entries[static_cast<size_t>(index)]; }
    // Shows the entries added since the last batch.
    void Publish();

  private:
    std::vector<std::string> m_entries;
    int m_published = 0;
    bool m_publishQueued = false;
};

}  // namespace sx::qt
