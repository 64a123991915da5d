// The fast path of a build without oneDNN: nothing loads, and the reason
// says how to get it.
#include "KSDnnlNetwork.h"

struct KSDnnlNetwork::Plan
{
};

KSDnnlNetwork::KSDnnlNetwork(std::unique_ptr<Plan> plan)
    : m_plan(std::move(plan))
{
}

KSDnnlNetwork::~KSDnnlNetwork() = default;

bool KSDnnlNetwork::builtIn()
{
    return false;
}

QString KSDnnlNetwork::version()
{
    return QStringLiteral("no oneDNN in this build (install libdnnl-dev, libonnx-dev and libprotobuf-dev, then rebuild)");
}

QString KSDnnlNetwork::runtimeName() const
{
    return version();
}

std::unique_ptr<KSDnnlNetwork> KSDnnlNetwork::load(const QString &onnxPath, const std::string &, const std::string &,
                                                   int, int, QString *error, int)
{
    if (error)
        *error = QStringLiteral("oneDNN cannot run %1: %2").arg(onnxPath, version());
    return {};
}

cv::Mat KSDnnlNetwork::forward(const cv::Mat &, std::string *error)
{
    if (error)
        *error = "oneDNN forward pass: " + version().toStdString();
    return {};
}

size_t KSDnnlNetwork::weightBytes() const
{
    return 0;
}

size_t KSDnnlNetwork::activationBytes() const
{
    return 0;
}
