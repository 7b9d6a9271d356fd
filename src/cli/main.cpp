#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream(stdout) << "Usage: ventara COMMAND [OPTIONS] FILE...\n";
    return 0;
}
