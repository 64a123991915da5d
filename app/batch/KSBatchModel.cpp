#include "KSBatchModel.h"

#include "KSBatch.h"

KSBatchModel::KSBatchModel(KSBatch *batch) : QAbstractListModel(batch), m_batch(batch)
{
    connect(batch, &KSBatch::itemsAboutToBeAdded, this,
            [this](int first, int last) { beginInsertRows(QModelIndex(), first, last); });
    connect(batch, &KSBatch::itemsAdded, this, [this] { endInsertRows(); });
    connect(batch, &KSBatch::itemAboutToBeRemoved, this,
            [this](int row) { beginRemoveRows(QModelIndex(), row, row); });
    connect(batch, &KSBatch::itemRemoved, this, [this] { endRemoveRows(); });
    connect(batch, &KSBatch::itemChanged, this, [this](KSBatchItem::Id id) {
        const QModelIndex index = indexOf(id);
        if (index.isValid())
            emit dataChanged(index, index);
    });
}

int KSBatchModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_batch->count();
}

QVariant KSBatchModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_batch->count())
        return {};
    const KSBatchItem *item = &m_batch->itemAt(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case NameRole: return item->name();
    case Qt::DecorationRole:
    case ThumbnailRole: return item->thumbnail;
    case Qt::ToolTipRole:
    case PathRole: return item->photoPath;
    case IdRole: return QVariant::fromValue(item->id);
    case StateRole: return int(item->state);
    case ProgressRole: return item->progress;
    case FailureTextRole: return item->failureText();
    case FailureAdviceRole: return item->failure ? item->failure->advice() : QString();
    case CanRetryRole:
        return item->state == KSBatchItem::State::cancelled
            || (item->state == KSBatchItem::State::failed && (!item->failure || item->failure->canRetry()));
    case OwnEditsRole: return item->hasOwnEdits;
    case TypeRole: return KSEraserTypeRawValue(item->type);
    case ExportedRole: return !item->exportedPath.isEmpty();
    default: return {};
    }
}

QHash<int, QByteArray> KSBatchModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(IdRole, "id");
    names.insert(NameRole, "name");
    names.insert(PathRole, "path");
    names.insert(StateRole, "state");
    names.insert(ProgressRole, "progress");
    names.insert(ThumbnailRole, "thumbnail");
    names.insert(FailureTextRole, "failureText");
    names.insert(FailureAdviceRole, "failureAdvice");
    names.insert(CanRetryRole, "canRetry");
    names.insert(OwnEditsRole, "ownEdits");
    names.insert(TypeRole, "type");
    names.insert(ExportedRole, "exported");
    return names;
}

KSBatchItem::Id KSBatchModel::idAt(const QModelIndex &index) const
{
    return index.isValid() ? m_batch->idAt(index.row()) : 0;
}

QModelIndex KSBatchModel::indexOf(KSBatchItem::Id id) const
{
    const int row = m_batch->rowOf(id);
    return row < 0 ? QModelIndex() : index(row);
}
