#pragma once

#include <QApplication>

// The application object. An exception that escapes an event handler is
// shown in an error box instead of ending the program in the middle of
// whatever it was doing.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the error box for an exception's text.
    static void showException(const QString& text);
};
