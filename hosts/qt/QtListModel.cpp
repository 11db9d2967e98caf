// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/qt/QtListModel.h"

#include "hosts/qt/QtText.h"

namespace sx::qt {

int ListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_published;
}

QVariant ListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_published) return {};
    if (role == Qt::DisplayRole) return ForList(Text(index.row()));
    return {};
}

void ListModel::Reset() {
    beginResetModel();
    m_entries.clear();
    m_published = 0;
    endResetModel();
}

void ListModel::Insert(int index, const std::string& text) {
    if (index >= m_published && index == Count()) {
        m_entries.push_back(text);
        if (!m_publishQueued) {
            m_publishQueued = true;
            QMetaObject::invokeMethod(
                this, [this] { Publish(); }, Qt::QueuedConnection);
        }
        return;
    }
    Publish();
    beginInsertRows(QModelIndex(), index, index);
    m_entries.insert(m_entries.begin() + index, text);
    ++m_published;
    endInsertRows();
}

void ListModel::Publish() {
    m_publishQueued = false;
    if (Count() == m_published) return;
    beginInsertRows(QModelIndex(), m_published, Count() - 1);
    m_published = Count();
    endInsertRows();
}

}  // namespace sx::qt
