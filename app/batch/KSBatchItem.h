#pragma once

#include "KSEraserFailure.h"
#include "KSEraserType.h"

#include <QImage>
#include <QString>
#include <QtGlobal>

#include <optional>

// One photo of a batch, as the batch screen shows it. The batch owns the
// items; the screen reads copies.
struct KSBatchItem
{
    using Id = quint64;

    enum class State {
        waiting,   // its job has not started
        uploading, // read, reduced and sent to the service
        cutting,   // the service's task and the cut-out at full size
        done,      // the cut-out waits in the temporary folder
        failed,    // `failure` says why
        cancelled,
    };

    Id id = 0;
    QString photoPath;
    KSEraserType type = KSEraserType::person;
    State state = State::waiting;
    // The job's progress, 0..1, while it uploads or cuts.
    double progress = 0.0;
    std::optional<KSEraserFailure> failure;
    // The cut-out file, while done.
    QString cutoutPath;
    // About 256 pixels on the longer side, on the look's background (or as
    // its own document draws it); null until made.
    QImage thumbnail;
    // Opened in the editor and changed there: the look no longer reaches it.
    bool hasOwnEdits = false;
    // The file the last export wrote, while nothing changed since.
    QString exportedPath;

    [[nodiscard]] QString name() const;
    [[nodiscard]] bool isRunning() const { return state == State::uploading || state == State::cutting; }
    [[nodiscard]] bool isFinished() const
    {
        return state == State::done || state == State::failed || state == State::cancelled;
    }
    // The failure's message in the application's language; empty without one.
    [[nodiscard]] QString failureText() const;
};
