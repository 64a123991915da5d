#pragma once

// The sample photos' grid: real photographs with no truth (a mandrill's face
// filling the frame, a footballer, fruit, animals, a drawn fish;
// scripts/fetch-artwork.sh keeps them in the artwork's samples/), each cut
// out by every engine and laid on a light checkerboard, one row a photo,
// to be looked at for regressions.

#include "KSEraserType.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <string>
#include <utility>
#include <vector>

namespace KSSampleGrid {

struct Photo
{
    std::string name; // the file's base name
    KSEraserType type = KSEraserType::object;
    cv::Mat bgr;
};

// The sample photos in `artwork`/samples, by name; the footballer is a person.
inline std::vector<Photo> load(const QString &artwork)
{
    std::vector<Photo> photos;
    const QDir folder(artwork + QStringLiteral("/samples"));
    for (const QString &file : folder.entryList({QStringLiteral("*.jpg"), QStringLiteral("*.png")}, QDir::Files,
                                                QDir::Name | QDir::IgnoreCase)) {
        Photo photo;
        photo.bgr = cv::imread(folder.filePath(file).toStdString(), cv::IMREAD_COLOR);
        if (photo.bgr.empty())
            continue;
        photo.name = QFileInfo(file).completeBaseName().toStdString();
        photo.type = photo.name.rfind("messi", 0) == 0 ? KSEraserType::person : KSEraserType::object;
        photos.push_back(std::move(photo));
    }
    return photos;
}

// The share of the frame a mask keeps (mean alpha, 0..1).
inline double kept(const cv::Mat &mask)
{
    return mask.empty() ? 0.0 : cv::mean(mask)[0] / 255.0;
}

// The photo's colours laid by the mask over a light checkerboard (8-bit BGR).
inline cv::Mat onCheckerboard(const cv::Mat &bgr, const cv::Mat &mask)
{
    const int square = std::max(4, std::max(bgr.cols, bgr.rows) / 48);
    cv::Mat board(bgr.size(), CV_32FC3);
    for (int y = 0; y < board.rows; ++y)
        for (int x = 0; x < board.cols; ++x)
            board.at<cv::Vec3f>(y, x) = ((x / square + y / square) % 2) ? cv::Vec3f(250, 250, 250) : cv::Vec3f(212, 212, 212);
    if (mask.empty())
        return cv::Mat(board.size(), CV_8UC3, cv::Scalar(40, 40, 220)); // no cut-out: a red cell
    cv::Mat a, a3, colour;
    mask.convertTo(a, CV_32F, 1.0 / 255.0);
    cv::merge(std::vector<cv::Mat>(3, a), a3);
    bgr.convertTo(colour, CV_32FC3);
    const cv::Mat laid = colour.mul(a3) + board.mul(cv::Scalar::all(1.0) - a3);
    cv::Mat out;
    laid.convertTo(out, CV_8UC3);
    return out;
}

struct Row
{
    std::string photo;
    cv::Mat bgr;
    std::vector<std::pair<std::string, cv::Mat>> masks; // engine, mask (8-bit, the photo's size)
};

// One row a photo: the photo, then each engine's cut-out, each cell
// `cellHeight` pixels high and labelled.
inline QImage draw(const std::vector<Row> &rows, int cellHeight = 256)
{
    constexpr int gap = 6, label = 18;
    auto cell = [&](const cv::Mat &bgr) {
        cv::Mat scaled, rgb;
        const double scale = double(cellHeight) / bgr.rows;
        cv::resize(bgr, scaled, cv::Size(), scale, scale, scale < 1 ? cv::INTER_AREA : cv::INTER_LINEAR);
        cv::cvtColor(scaled, rgb, cv::COLOR_BGR2RGB);
        return QImage(rgb.data, rgb.cols, rgb.rows, int(rgb.step), QImage::Format_RGB888).copy();
    };
    std::vector<std::vector<std::pair<QString, QImage>>> cells;
    int width = 0;
    for (const Row &row : rows) {
        std::vector<std::pair<QString, QImage>> line{{QString::fromStdString(row.photo), cell(row.bgr)}};
        for (const auto &[engine, mask] : row.masks)
            line.emplace_back(QString::fromStdString(row.photo + " - " + engine), cell(onCheckerboard(row.bgr, mask)));
        int w = gap;
        for (const auto &c : line)
            w += c.second.width() + gap;
        width = std::max(width, w);
        cells.push_back(std::move(line));
    }
    QImage grid(std::max(1, width), int(rows.size()) * (cellHeight + label + gap) + gap, QImage::Format_RGB32);
    grid.fill(Qt::white);
    QPainter painter(&grid);
    QFont font = painter.font();
    font.setPixelSize(label - 5);
    painter.setFont(font);
    int y = gap;
    for (const auto &line : cells) {
        int x = gap;
        for (const auto &[text, image] : line) {
            painter.setPen(Qt::black);
            painter.drawText(QRect(x, y, image.width(), label), Qt::AlignLeft | Qt::AlignVCenter, text);
            painter.drawImage(x, y + label, image);
            x += image.width() + gap;
        }
        y += cellHeight + label + gap;
    }
    painter.end();
    return grid;
}

} // namespace KSSampleGrid
