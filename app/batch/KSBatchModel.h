#pragma once

#include "KSBatchItem.h"

#include <QAbstractListModel>

class KSBatch;

// The batch as the screen's grid reads it: one row per photo, in the
// batch's order. Qt::DisplayRole is the name, Qt::DecorationRole the
// thumbnail (a QImage, null until made).
class KSBatchModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role {
        IdRole = Qt::UserRole + 1, // KSBatchItem::Id
        NameRole,                  // the photo's file name
        PathRole,                  // the photo's path
        StateRole,                 // int(KSBatchItem::State)
        ProgressRole,              // double, 0..1
        ThumbnailRole,             // QImage
        FailureTextRole,           // the failure's message, empty without one
        FailureAdviceRole,         // what the user can do about it
        CanRetryRole,              // bool: a failed or cancelled photo worth trying again
        OwnEditsRole,              // bool
        TypeRole,                  // "person" or "object"
        ExportedRole,              // bool: written, unchanged since
    };

    explicit KSBatchModel(KSBatch *batch);

    [[nodiscard]] int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    [[nodiscard]] QHash<int, QByteArray> roleNames() const override;

    [[nodiscard]] KSBatchItem::Id idAt(const QModelIndex &index) const;
    [[nodiscard]] QModelIndex indexOf(KSBatchItem::Id id) const;

private:
    KSBatch *m_batch;
};
