#include <QCoreApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::printf("Cutora %s\n", CUTORA_VERSION_STRING);
    return 0;
}
