#pragma once

#include "KSEraserEditView.h"
#include "Settle.h"

#include <QTest>
#include <QThreadPool>
#include <QWidget>
#include <memory>

// The editor as the main window shows it: over a shown host of `size`, on
// the photograph and its cut-out, settled. Null when it cannot be built.
inline KSEraserEditView *openEditorOver(std::unique_ptr<QWidget> &host, const QSize &size, const QString &photo,
                                        const QString &cutout, KSEraserEditView::BackClosure closure = {})
{
    host = std::make_unique<QWidget>();
    host->resize(size);
    host->show();
    host->activateWindow();
    if (!QTest::qWaitForWindowActive(host.get()))
        return nullptr;
    KSEraserEditView *editor = KSEraserEditView::showEditView(host.get(), photo, cutout, std::move(closure));
    settle();
    return editor;
}

// Closes the host with its editor and waits for the work the editor left.
inline void closeEditorHost(std::unique_ptr<QWidget> &host)
{
    host.reset();
    settle();
    QThreadPool::globalInstance()->waitForDone();
}
