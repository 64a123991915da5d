// Writes the seed corpora of the fuzz harnesses from the test fixtures:
//   fuzz_seeds OUT_DIR
// one folder per harness (scripts/fuzz-seeds.sh calls it).
#include "KSTiffEncoder.h"
#include "PhotoFixtures.h"
#include "ScriptedCutoutService.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QDir out;
int failures = 0;

void seed(const QString &harness, const QString &name, const QByteArray &bytes)
{
    out.mkpath(harness);
    QFile file(out.filePath(harness + QLatin1Char('/') + name));
    if (bytes.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "fuzz_seeds: cannot write %s/%s\n", qPrintable(harness), qPrintable(name));
        ++failures;
    }
}

// A small studio photo: a subject on a light backdrop, a marker in a corner.
QImage photo(bool alpha = false)
{
    QImage image(64, 48, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    image.fill(alpha ? QColor(0, 0, 0, 0) : QColor(232, 232, 236));
    QPainter painter(&image);
    painter.fillRect(QRect(20, 12, 24, 24), QColor(40, 50, 120, 200));
    painter.fillRect(QRect(20, 12, 6, 6), QColor(200, 40, 40));
    return image;
}

QByteArray heic(int orientation)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("seed.heic"));
    QFile file(path);
    if (!PhotoFixtures::writeHeic(photo(), path, orientation) || !file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void pictures()
{
    using PhotoFixtures::encoded;
    const QString h = QStringLiteral("image_loader");
    const QImage picture = photo();
    const QByteArray jpeg = encoded(picture, "jpeg", 90);
    seed(h, QStringLiteral("photo.jpg"), jpeg);
    seed(h, QStringLiteral("progressive.jpg"), PhotoFixtures::progressiveJpeg(picture));
    seed(h, QStringLiteral("exif-rotated.jpg"), PhotoFixtures::jpegWithOrientation(picture, 6));
    seed(h, QStringLiteral("cut-off.jpg"), jpeg.left(jpeg.size() * 3 / 10));
    seed(h, QStringLiteral("photo.png"), encoded(picture, "png"));
    seed(h, QStringLiteral("alpha.png"), encoded(photo(true), "png"));
    seed(h, QStringLiteral("grey.png"), encoded(picture.convertToFormat(QImage::Format_Grayscale8), "png"));
    seed(h, QStringLiteral("deep.png"), encoded(picture.convertToFormat(QImage::Format_RGBA64), "png"));
    const QByteArray bmp = encoded(picture, "bmp");
    seed(h, QStringLiteral("photo.bmp"), bmp);
    seed(h, QStringLiteral("cut-off.bmp"), bmp.left(bmp.size() * 9 / 10));
    seed(h, QStringLiteral("photo.tif"), encoded(picture, "tiff"));
    seed(h, QStringLiteral("cutout.tif"), KSTiffEncoder::encode(photo(true).convertToFormat(QImage::Format_RGBA8888)));
    seed(h, QStringLiteral("photo.webp"), encoded(picture, "webp"));
    seed(h, QStringLiteral("alpha.webp"), encoded(photo(true), "webp"));
    seed(h, QStringLiteral("photo.heic"), heic(1));
    seed(h, QStringLiteral("rotated.heic"), heic(6));
}

QByteArray json(const QVariantMap &map)
{
    return QJsonDocument(QJsonObject::fromVariantMap(map)).toJson(QJsonDocument::Compact);
}

void replies()
{
    const QString h = QStringLiteral("client_replies");
    const auto envelope = [](const QVariantMap &data, const QVariant &status = QStringLiteral("1")) {
        return ScriptedCutoutService::envelope(data, status);
    };
    const QVariantMap credentials{
        {"endpoint", "127.0.0.1:8790"},
        {"access_id", "LOCAL0123456789"},
        {"access_secret", "secret"},
        {"security_token", "token"},
        {"bucket", "cutora-local"},
        {"expiration", "2030-01-01T00:00:00Z"},
        {"path", QVariantMap{{"images", "images/0123456789abcdef/"}}},
        {"callback", QVariantMap{{"callbackUrl", "http://127.0.0.1:8790/api/storage/callback"},
                                 {"callbackBody", "bucket=${bucket}&object=${object}"},
                                 {"callbackBodyType", "application/x-www-form-urlencoded"}}},
    };
    seed(h, QStringLiteral("credentials"), envelope(credentials));
    seed(h, QStringLiteral("callback"), envelope({{"resource", QVariantMap{{"resource_id", "r1"}, {"object", "a.jpg"}, {"size", 12}}}}));
    seed(h, QStringLiteral("registration"), envelope({{"resource_id", "r1"}, {"object", "a.jpg"}, {"size", 12}}));
    seed(h, QStringLiteral("task"), envelope({{"task_id", "0123456789abcdef0123456789abcdef"}, {"status", 0}}));
    seed(h, QStringLiteral("poll-waiting"), envelope({{"task_id", "t"}, {"status", 0}, {"type", "person"}}));
    seed(h, QStringLiteral("poll-running"), envelope({{"task_id", "t"}, {"status", 1}, {"type", "object"}}));
    seed(h, QStringLiteral("poll-done"), envelope({{"task_id", "t"}, {"status", 2}, {"engine", "classic-grabcut"},
                                                   {"mask_file_url", "http://127.0.0.1:8790/api/masks/m.png"}}));
    seed(h, QStringLiteral("poll-failed"), envelope({{"task_id", "t"}, {"status", -1}, {"error", "too small"}}));
    seed(h, QStringLiteral("refused"), json({{"status", "0"}, {"message", "unknown account token"}}));
    seed(h, QStringLiteral("list"), "[1, \"2\", {\"status\": 2}]");
    seed(h, QStringLiteral("storage-error"), "<?xml version=\"1.0\"?><Error><Code>AccessDenied</Code></Error>");
}

void requests()
{
    const QString h = QStringLiteral("service_requests");
    const auto raw = [&h](const QString &name, const QByteArray &request) { seed(h, name, '\0' + request); };
    const auto form = [](const QByteArray &path, const QByteArray &body, const QByteArray &type) {
        return "POST " + path + " HTTP/1.1\r\nAuthorization: Bearer @T\r\nContent-Type: " + type
               + "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    };
    raw(QStringLiteral("authentications"), "GET /api/authentications HTTP/1.1\r\nAuthorization: Bearer @T\r\n\r\n");
    raw(QStringLiteral("resources-form"), form("/api/resources", "api_token=@T&resource_id=0123", "application/x-www-form-urlencoded"));
    raw(QStringLiteral("task-json"), form("/api/tasks/person", "{\"file_id\":\"0123\",\"api_token\":\"@T\"}", "application/json"));
    raw(QStringLiteral("task-multipart"),
        form("/api/tasks/object", "--b\r\nContent-Disposition: form-data; name=\"file_id\"\r\n\r\n0123\r\n--b--\r\n",
             "multipart/form-data; boundary=b"));
    raw(QStringLiteral("poll"), "GET /api/tasks/0123456789abcdef0123456789abcdef HTTP/1.1\r\nAuthorization: Bearer @T\r\n\r\n");
    raw(QStringLiteral("mask"), "GET /api/masks/" + QByteArray(64, 'a') + ".png HTTP/1.1\r\n\r\n");
    raw(QStringLiteral("put-unsigned"), "PUT /cutora-local/@Ppicture.jpg HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc");
    raw(QStringLiteral("put-chunked"),
        "PUT /cutora-local/@Ppicture.jpg HTTP/1.1\r\nAuthorization: OSS @I:c2ln\r\nTransfer-Encoding: chunked\r\n\r\n"
        "3\r\nabc\r\n0\r\n\r\n");
    raw(QStringLiteral("pipelined"), "GET /api/authentications HTTP/1.1\r\nAuthorization: Bearer @T\r\n\r\n"
                                     "GET /api/tasks/x HTTP/1.1\r\nAuthorization: Bearer @T\r\n\r\n");
    raw(QStringLiteral("callback-unsigned"), form("/api/storage/callback", "bucket=cutora-local&object=@Pa.jpg",
                                                  "application/x-www-form-urlencoded"));
    // Signed storage puts: key, content type, callback body and variables
    // end with "\\ " each (how the harness splits its input); the switches
    // come from the end.
    const QByteArray picture = PhotoFixtures::encoded(photo(), "jpeg", 60);
    seed(h, QStringLiteral("put-with-callback"),
         "\x01picture.jpg\\ image/jpeg\\ bucket=${bucket}&object=${object}&size=${size}&etag=${etag}&x=${x:a}\\ "
         "{\"x:a\":\"b\"}\\ " + picture + QByteArray("\x01\x01\x01\x00\x01", 5));
    seed(h, QStringLiteral("put-plain"), "\x01" "a/b.png\\ image/png\\ \\ \\ " + picture + QByteArray("\x00\x00\x00\x00\x00", 5));
    seed(h, QStringLiteral("callback-signed"), "\x02" "picture.jpg\\ bucket=cutora-local&object=images%2Fa.jpg\x01");
    seed(h, QStringLiteral("parse-authorization"), "\x03OSS LOCAL0123456789:c2lnbmF0dXJl");
    seed(h, QStringLiteral("parse-date"), "\x03Sun, 06 Nov 1994 08:49:37 GMT");
    seed(h, QStringLiteral("parse-key"), "\x03images/a/../b.jpg");
    seed(h, QStringLiteral("parse-headers"), "\x03x-oss-security-token: a\nContent-Type: image/jpeg\nDate: now");
}

void descriptions()
{
    const QString h = QStringLiteral("model_description");
    const QByteArray example = R"({ "name": "my-model", "file": "my-model.onnx",
  "input": { "name": "input", "width": 768, "height": 768, "channels": "RGB",
             "scale": 1.0, "mean": [128, 128, 128], "std": [256, 256, 256] },
  "output": { "name": "output", "min": 0.0, "max": 1.0 } })";
    seed(h, QStringLiteral("example.json"), example);
    seed(h, QStringLiteral("bgr.json"), QByteArray(example).replace("\"RGB\"", "\"BGR\""));
    seed(h, QStringLiteral("no-output.json"), R"({"name":"m","file":"/abs/m.onnx","input":{"name":"i"}})");
    seed(h, QStringLiteral("wrong-types.json"), R"({"name":1,"file":[],"input":{"width":"768","mean":[1,2]}})");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds OUT_DIR\n");
        return 2;
    }
    out = QDir(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral(".")))
        return 1;
    pictures();
    replies();
    requests();
    descriptions();
    return failures == 0 ? 0 : 1;
}
