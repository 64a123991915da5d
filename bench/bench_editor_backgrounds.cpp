// Figures for the background panel and the canvas with a 24-megapixel photo
// (6000 x 4000): each slider step of the blur, the shadows and a picture's
// zoom, from the slider's value to the canvas painted again, on the real
// widgets; a drag of the subject over the blurred backdrop with its shadow;
// and the save of the full-size result with both.
//
//   bench_editor_backgrounds [--grab FOLDER]
//
// --grab also saves what the canvas showed after each replay as PNG files.
#include "KSBackdropBlurPage.h"
#include "KSBackgroundPicturePage.h"
#include "KSBenchEvents.h"
#include "KSBenchTimes.h"
#include "KSEditBackgroundPanel.h"
#include "KSEditDocument.h"
#include "KSEditSliderRow.h"
#include "KSEidtCutImageView.h"
#include "KSFilppedImageView.h"
#include "KSImageDragView.h"
#include "KSOutputSaver.h"
#include "KSShadowPage.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QPainterPath>
#include <QSlider>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr int kSteps = 40;

// The photo: a product on a busy, coloured backdrop.
QImage syntheticPhoto()
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(QPointF(0, 0), QPointF(kWidth, kHeight));
    sky.setColorAt(0, QColor(90, 150, 210));
    sky.setColorAt(1, QColor(40, 120, 60));
    painter.fillRect(image.rect(), sky);
    for (int i = 0; i < 60; ++i) {
        painter.setBrush(QColor::fromHsv((i * 37) % 360, 120, 200));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QPointF((i * 997) % kWidth, (i * 613) % kHeight), 300, 200);
    }
    painter.setBrush(QColor(200, 60, 40));
    painter.drawEllipse(QRectF(2000, 800, 2000, 2800));
    return image;
}

// The cut-out of that photo: the product alone.
QImage syntheticCutOut(const QImage &photo)
{
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath product;
    product.addEllipse(QRectF(2000, 800, 2000, 2800));
    painter.setClipPath(product);
    painter.drawImage(0, 0, photo);
    return image;
}

using Figures = KSBenchTimes;

// Drags a slider through kSteps values; each step's time runs from the new
// value to the canvas painted with it.
Figures dragSlider(QSlider *slider, QWidget *canvas)
{
    std::vector<double> times;
    slider->setSliderDown(true);
    QElapsedTimer timer;
    for (int i = 1; i <= kSteps; ++i) {
        const int value = slider->minimum() + (slider->maximum() - slider->minimum()) * i / kSteps;
        timer.start();
        slider->setValue(value);
        canvas->repaint();
        QCoreApplication::processEvents();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    slider->setSliderDown(false);
    return KSBenchTimes::of(times);
}

void print(const char *name, const Figures &figures)
{
    std::printf("%-44s %7.1f ms per step (max %.1f ms)\n", name, figures.meanMs, figures.maxMs);
}

void grab(QWidget *canvas, const QString &folder, const char *name)
{
    if (!folder.isEmpty())
        canvas->grab().save(QDir(folder).filePath(QString::fromLatin1(name) + QStringLiteral(".png")));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString grabFolder = argumentAfter(app.arguments(), QStringLiteral("--grab"));

    QElapsedTimer timer;
    const QImage photo = syntheticPhoto();
    KSEditDocument document;
    if (!document.setCutout(syntheticCutOut(photo))) {
        std::fprintf(stderr, "cannot edit the cut-out\n");
        return 1;
    }
    document.setPhotoColours(photo);

    // The editor's panel layout: a 600 x 400 canvas beside the panel.
    KSEidtCutImageView canvas;
    canvas.resize(600, 400);
    canvas.setDocument(&document);
    canvas.show();
    KSEditBackgroundPanel panel(&document);
    panel.resize(360, 720);
    panel.show();
    if (!waitForExposure(&canvas) || !waitForExposure(&panel))
        return 1;
    canvas.updateCanvasLayout();
    canvas.repaint();

    timer.start();
    panel.showPage(KSEditBackgroundPanel::Page::blur);
    document.chooseBackground(KSEditBackground::ofBlurredPhoto());
    canvas.repaint();
    std::printf("%-44s %7.1f ms\n", "blurred backdrop, first shown", double(timer.nsecsElapsed()) / 1e6);
    print("blur strength, slider step", dragSlider(panel.blurPage()->strengthRow()->slider(), &canvas));
    grab(&canvas, grabFolder, "blur");

    document.chooseShadow(KSEditShadow::contact());
    canvas.repaint();
    const QList<KSEditSliderRow *> contact = panel.shadowPage()->contactRows();
    const char *contactNames[] = {"contact shadow darkness, slider step", "contact shadow softness, slider step",
                                  "contact shadow size, slider step"};
    for (int row = 0; row < contact.size(); ++row)
        print(contactNames[row], dragSlider(contact.at(row)->slider(), &canvas));
    grab(&canvas, grabFolder, "contact");

    document.chooseShadow(KSEditShadow::drop());
    canvas.repaint();
    const QList<KSEditSliderRow *> drop = panel.shadowPage()->dropRows();
    const char *dropNames[] = {"drop shadow offset right, slider step", "drop shadow offset down, slider step",
                               "drop shadow blur, slider step", "drop shadow opacity, slider step"};
    for (int row = 0; row < drop.size(); ++row)
        print(dropNames[row], dragSlider(drop.at(row)->slider(), &canvas));
    grab(&canvas, grabFolder, "drop");

    // A drag of the subject over the blurred backdrop, with its shadow.
    {
        canvas.setChangeType(KSChangeType::size);
        canvas.updateCanvasLayout();
        const QPoint centre = (canvas.imageDragView()->frame().center() + canvas.imageViewFrame().topLeft()).toPoint();
        sendMouse(&canvas, QEvent::MouseButtonPress, centre, Qt::LeftButton, Qt::LeftButton);
        std::vector<double> times;
        for (int i = 1; i <= 100; ++i) {
            const double angle = 2 * M_PI * i / 100;
            const QPoint to = centre + QPoint(int(std::lround(60 * std::sin(angle))), int(std::lround(30 * (1 - std::cos(angle)))));
            timer.start();
            sendMouse(&canvas, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
            canvas.repaint();
            QCoreApplication::processEvents();
            times.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
        sendMouse(&canvas, QEvent::MouseButtonRelease, centre, Qt::LeftButton, Qt::NoButton);
        QCoreApplication::processEvents();
        print("subject drag over blur and drop shadow, move", KSBenchTimes::of(times));
        canvas.setChangeType(KSChangeType::none);
    }

    // A 24-megapixel picture as the background, zoomed.
    timer.start();
    std::optional<KSEditBackground> picture = KSEditBackground::ofPicture(photo.mirrored(true, false));
    document.chooseBackground(*picture);
    canvas.repaint();
    std::printf("%-44s %7.1f ms\n", "24 MP picture background, first shown", double(timer.nsecsElapsed()) / 1e6);
    print("picture zoom, slider step", dragSlider(panel.picturePage()->zoomRow()->slider(), &canvas));
    print("picture left-right, slider step", dragSlider(panel.picturePage()->shiftXRow()->slider(), &canvas));
    grab(&canvas, grabFolder, "picture");

    // The save of the full-size result, as the editor writes it.
    document.chooseBackground(KSEditBackground::ofBlurredPhoto());
    document.chooseShadow(KSEditShadow::contact());
    QTemporaryDir output;
    for (const char *format : {"jpg", "png"}) {
        KSOutputSaver::Job job;
        job.folder = output.path();
        job.baseName = QStringLiteral("result");
        job.format = QString::fromLatin1(format);
        job.request = document.renderRequest(0);
        job.makeSubject = document.subjectMaker();
        timer.start();
        const KSOutputSaver::Result saved = KSOutputSaver::run(job);
        if (!saved.ok()) {
            std::fprintf(stderr, "save failed: %s\n", qPrintable(saved.error));
            return 1;
        }
        std::printf("save, 24 MP, blurred backdrop and shadow (%s) %7.0f ms\n", format,
                    double(timer.nsecsElapsed()) / 1e6);
    }
    return 0;
}
