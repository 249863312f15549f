#include "app/QtUiPort.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

QtUiPort::QtUiPort(QWidget* mainWindow) : m_main(mainWindow) {}

QtUiPort::~QtUiPort() {
    delete m_gauge;
    delete m_dual;
    delete m_report;
}

void QtUiPort::CreateDialogs() {
    if (m_gauge) return;
    m_gauge = new TGaugeForm(m_main);
    m_dual = new TDualGaugeForm(m_main);
    m_report = new TReportForm(m_main);
    QObject::connect(m_gauge, &TGaugeForm::abortPressed, [this] { SetProgressAborted(); });
    QObject::connect(m_dual, &TDualGaugeForm::abortPressed, [this] { SetDualAborted(); });
}

void QtUiPort::Notice(const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::Information, QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok, m_main);
    box.exec();
}

bool QtUiPort::Question(const std::string& text, const std::string& caption, bool warning) {
    QMessageBox box(warning ? QMessageBox::Warning : QMessageBox::Question, QString::fromStdString(caption),
                    QString::fromStdString(text), QMessageBox::Ok | QMessageBox::Cancel, m_main);
    return box.exec() == QMessageBox::Ok;
}

QString QtUiPort::DefaultFolderStart() {
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (!music.isEmpty() && QFileInfo(music).isDir()) return music;
    return QDir::homePath();
}

bool QtUiPort::ChooseFolder(const std::string& title, const std::string& startFolder, std::string& folder) {
    // A chooser without a start folder of its own (the first start's VDisk question) opens where
    // a person keeps audio, not in the program's folder, which is the current one.
    const QString start = startFolder.empty() ? DefaultFolderStart() : QString::fromStdString(startFolder);
    QString dir = QFileDialog::getExistingDirectory(m_main, QString::fromStdString(title), start);
    if (dir.isEmpty()) return false;
    folder = dir.toStdString();
    return true;
}

bool QtUiPort::ChooseFiles(const std::string& title, const std::string& startFolder, const std::string& filter,
                           bool multiple, std::vector<std::string>& files) {
    files.clear();
    if (multiple) {
        QStringList list = QFileDialog::getOpenFileNames(m_main, QString::fromStdString(title),
                                                         QString::fromStdString(startFolder),
                                                         QString::fromStdString(filter));
        for (const QString& f : list) files.push_back(f.toStdString());
    } else {
        QString f = QFileDialog::getOpenFileName(m_main, QString::fromStdString(title),
                                                 QString::fromStdString(startFolder), QString::fromStdString(filter));
        if (!f.isEmpty()) files.push_back(f.toStdString());
    }
    return !files.empty();
}

void QtUiPort::LetEventsThrough() { QApplication::processEvents(); }

void QtUiPort::Centre(QWidget* w) {
    QScreen* s = QGuiApplication::primaryScreen();
    if (!s) return;
    w->adjustSize();
    QRect r = s->geometry();
    w->move(r.center() - QPoint(w->width() / 2, w->height() / 2));
}

void QtUiPort::TakeKeyboard(QWidget* dialog) {
    // The main window is disabled while the dialog shows, so the keyboard is of use only here:
    // Esc must reach the dialog even where no window manager hands a new window the focus. The
    // request is repeated once the window system has seen the dialog: an X server ignores a
    // focus request stamped earlier than the focus change that closing the previous dialog (the
    // export settings) made.
    dialog->raise();
    dialog->activateWindow();
    QTimer::singleShot(100, dialog, [dialog] {
        if (dialog->isVisible() && !dialog->isActiveWindow()) dialog->activateWindow();
    });
}

void QtUiPort::ShowProgress(bool withAbort) {
    CreateDialogs();
    m_gauge->abortButton->setVisible(withAbort);
    if (m_main) m_main->setEnabled(false);
    Centre(m_gauge);
    m_gauge->show();
    m_gauge->setEnabled(true);
    TakeKeyboard(m_gauge);
}

void QtUiPort::SetProgressTextShown(const std::string& text) {
    CreateDialogs();
    m_gauge->text->setText(QString::fromStdString(text));
}

void QtUiPort::DrawProgressBar(int percent) {
    CreateDialogs();
    m_gauge->bar->setValue(percent);
}

void QtUiPort::HideProgress() {
    if (m_gauge) m_gauge->hide();
    if (m_main) m_main->setEnabled(true);
}

void QtUiPort::ShowDual() {
    CreateDialogs();
    if (m_main) m_main->setEnabled(false);
    Centre(m_dual);
    m_dual->show();
    m_dual->setEnabled(true);
    TakeKeyboard(m_dual);
}

void QtUiPort::SetDualTextShown(const std::string& text) {
    CreateDialogs();
    m_dual->text->setText(QString::fromStdString(text));
}

void QtUiPort::DrawDualBars(int overall, int detail) {
    CreateDialogs();
    m_dual->overall->setValue(overall);
    m_dual->detail->setValue(detail);
}

void QtUiPort::HideDual() {
    if (m_dual) m_dual->hide();
    if (m_main) m_main->setEnabled(true);
}

void QtUiPort::ReportClear() {
    CreateDialogs();
    m_report->list->setRowCount(0);
}

void QtUiPort::ReportAddLine(const std::string& file, const std::string& result) {
    CreateDialogs();
    int row = m_report->list->rowCount();
    m_report->list->insertRow(row);
    m_report->list->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(file)));
    m_report->list->setItem(row, 1, new QTableWidgetItem(QString::fromStdString(result)));
}

void QtUiPort::ReportPrepare(const std::string& caption, bool* dontShowAgain) {
    CreateDialogs();
    m_report->setWindowTitle(QString::fromStdString(caption));
    m_report->setting = dontShowAgain;
    // A report without a setting behind it (the loudness report) has no box to tick.
    m_report->dontShowAgain->setVisible(dontShowAgain != nullptr);
}

void QtUiPort::ReportShow() {
    CreateDialogs();
    m_report->exec();
}
