#include <QApplication>
#include <QLabel>

// The editor's window comes next; until then the program starts and says so.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Cinemill");
    QApplication::setOrganizationName("Cinemill");
    QLabel label("Ready to Animate");
    label.show();
    return QApplication::exec();
}
