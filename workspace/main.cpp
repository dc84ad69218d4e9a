#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QLabel label("Larkpost: the main window is not built yet.");
  label.setWindowTitle("Larkpost");
  label.setMinimumSize(480, 160);
  label.setAlignment(Qt::AlignCenter);
  label.show();
  return app.exec();
}
