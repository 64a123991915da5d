#pragma once

#include "KSDialogWindow.h"

// The About window: the application's name, version and licence, the
// learned model in use with its terms, and the libraries Cutora is built on.
class KSAboutWindow : public KSDialogWindow
{
    Q_OBJECT

public:
    // What the About window says of the engine that cuts out: a configured
    // service's address, else the learned model the built-in service loads;
    // with no name, the classical engine (chosen, or for want of a model).
    struct Model
    {
        QString name;
        QString licence;
        QString runtime; // what runs the model, once the service loaded it
        QString serviceUrl;
        bool classicChosen = false;
    };

    // One library Cutora is built with, and its licence.
    struct Credit
    {
        const char *name;
        const char *licence;
    };
    static const QList<Credit> &credits();

    explicit KSAboutWindow(const Model &model, QWidget *parentWindow = nullptr);

    // One About window at a time: an open one is brought to the front.
    static KSAboutWindow *showAbout(const Model &model);
};
