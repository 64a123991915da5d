#pragma once

#include "KSTaskStatus.h"

#include <QString>
#include <QVariant>

// A poll's reply as the client reads it: the task's state in data.status (a
// JSON integer) and, for a finished task, the mask's address, each field
// with the type it must have, so that a reply of the wrong shape is a fault
// and never a crash or a wrong value.
struct KSTaskReply
{
    enum class Fault {
        None,
        NotADictionary, // the reply is no JSON object
        NoStatus,       // data, or data.status as an integer, is missing
        NoMaskUrl,      // a finished task without an absolute mask_file_url
    };

    // From data.status: done (2), failed (-1), or any other number.
    enum class State { Unfinished, Done, Failed };

    Fault fault = Fault::None;
    State state = State::Unfinished;
    QString maskUrl;   // when done: an absolute URL
    QString engine;    // the engine the service names, or empty
    QString error;     // when failed: what the service says, or empty
    QVariant progress; // data.progress as sent, for the client to judge

    [[nodiscard]] static KSTaskReply read(const QVariant &reply);
};
