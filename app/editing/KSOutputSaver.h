#pragma once

#include "KSOutputRender.h"
#include "KSPrintSheet.h"

#include <QImage>
#include <QString>
#include <functional>
#include <optional>

class QObject;

// Writes the picture of a save into the output folder: under base name +
// "." + format, made unique with "(1)", "(2)", ... so that no file is ever
// replaced, inside one open access to the folder's bookmark. The free name
// is claimed before the bytes are written (KSOutputClaim), so that two saves
// at once never share it; the bytes go to a hidden file first and replace
// the claim only once complete, so a full disk or an unwritable folder
// leaves the folder as it was.
class KSOutputSaver
{
public:
    struct Result
    {
        QString path;  // the written file; empty when nothing was written
        QString error; // why nothing was written, in English, for the log and the dialog
        [[nodiscard]] bool ok() const { return !path.isEmpty(); }
    };

    // Everything one save needs, gathered on the GUI thread (the settings
    // are read there) so that the rest can run on any thread.
    struct Job
    {
        QString subjectPath; // the subject picture on disk
        QString folder;      // the output folder
        QString baseName;    // the output file's name without extension
        QString format;      // "jpg" or "png"
        KSOutputRender::Request request; // its subject is loaded from subjectPath
        // Copies of the picture on a sheet of this paper instead of the
        // picture itself, named baseName-PAPER; needs the request's printed size.
        std::optional<KSPrintSheet::Paper> sheet;
        // Set by Save As: this very file, replaced when it exists (the user
        // chose it knowingly); folder, baseName and sheet are then not used.
        QString targetPath;
        // When set, makes the subject instead (on the thread that runs the
        // job): the subject as the user has edited it.
        std::function<QImage()> makeSubject = {};
    };

    // "png" for the clear colour whatever the setting, else the setting under
    // "kOutputFormat" ("jpg" when absent or not a format we write).
    [[nodiscard]] static QString outputFormat(const KSColor &backgroundColor);

    // The job of a save into the output folder of the settings, in the format
    // outputFormat() chooses. GUI thread.
    [[nodiscard]] static Job prepare(const QString &subjectPath, const QString &baseName,
                                     const KSOutputRender::Request &request);

    // The job of a Save As to `targetPath`: JPEG for a ".jpg" or ".jpeg"
    // name, else PNG ("png" is added to a name of neither kind). A
    // transparent background is always PNG. GUI thread.
    [[nodiscard]] static Job prepareAs(const QString &subjectPath, const QString &targetPath,
                                       const KSOutputRender::Request &request);

    // Loads the subject and renders the picture of a job (never its print
    // sheet); null with the reason in *error. Sets *dotsPerInch, when given,
    // to the picture's print resolution. Any thread; never throws.
    [[nodiscard]] static QImage render(const Job &job, QString *error, QSizeF *dotsPerInch = nullptr);

    // Loads the subject, renders and writes. Any thread; never throws.
    [[nodiscard]] static Result run(const Job &job);

    // run() on a worker thread, `done` on the thread of `context`; dropped
    // when the context is gone by then.
    static void runAsync(const Job &job, QObject *context, std::function<void(const Result &result)> done);

    // prepare() and run() in one call, for a save that waits for its file.
    [[nodiscard]] static Result saveOutputImage(const QString &subjectPath, const QString &baseName,
                                                const KSOutputRender::Request &request);

    // prepare() here, run() on a worker thread, `done` on the thread of
    // `context`; dropped when the context is gone by then. With a paper, the
    // print sheet is saved instead.
    static void saveOutputImageAsync(const QString &subjectPath, const QString &baseName,
                                     const KSOutputRender::Request &request, QObject *context,
                                     std::function<void(const Result &result)> done,
                                     std::optional<KSPrintSheet::Paper> sheet = std::nullopt);

    // Encodes `picture` as "jpg" or "png", with the print resolution when
    // one is given, and writes it into `folder` under the first free name of
    // baseName.format, baseName(1).format, ...
    [[nodiscard]] static Result writeOutputImage(const QImage &picture, const QString &folder,
                                                 const QString &baseName, const QString &format,
                                                 QSizeF dotsPerInch = {});
    // Encodes `picture` and puts it at `path`, replacing what is there only
    // once the new file is complete.
    [[nodiscard]] static Result writeOutputImageAs(const QImage &picture, const QString &path, const QString &format,
                                                   QSizeF dotsPerInch = {});
};
