#pragma once
// The application object. An error that leaves an event handler is shown in
// the standard error box and the event loop goes on: an exception that
// crossed Qt's event loop would end the program on the spot.

#include <QApplication>

namespace corvina {

class TApplication : public QApplication {
 public:
  TApplication(int& argc, char** argv) : QApplication(argc, argv) {}
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace corvina
