#pragma once

#include <QDialog>
#include <QLabel>

class QTabWidget;
class QPushButton;

namespace tb {

class Desktop;

// The about box: the engraved name, the version and its date, the disclaimer, and what the
// program is: version, copyright, licence and the update server with its link.
class Info : public QDialog {
    Q_OBJECT
  public:
    // Links (the web address, a new mail) open on the desktop (none: the program's own).
    explicit Info(Desktop* desktop = nullptr, QWidget* parent = nullptr);
    QTabWidget* tabs() const { return tabs_; }
    QLabel* webLink() const { return web_; }
    QPushButton* okButton() const { return ok_; }

    static QString disclaimer();
    // The lines of the "Programm" tab above the server's address.
    static QStringList programLines();
    // The update server the program asks (the link of the box).
    static QString webAddress();

  protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

  private:
    void hover(bool on);
    Desktop& desktop_;
    QTabWidget* tabs_;
    QLabel* web_;
    QPushButton* ok_;
};

// The product name drawn twice, white over grey one pixel lower, for an engraved look.
class EngravedTitle : public QWidget {
    Q_OBJECT
  public:
    explicit EngravedTitle(QString text, QWidget* parent = nullptr);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    QString text_;
    QFont font_;
};

} // namespace tb
