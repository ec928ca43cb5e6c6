#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Harvex");
    QLabel placeholder("Harvex");
    placeholder.setObjectName("HarvexPlaceholder");
    placeholder.resize(480, 120);
    placeholder.show();
    return QApplication::exec();
}
