#pragma once
// TMinipanelForm: the small window (200 x 40) that stands in for a collapsed effect's editor
// beside the dock: a dark bar with the plug-in's own name. Borderless and on top, like the
// editors it replaces.
//
// Threading: main thread only.

#include <QImage>
#include <QString>
#include <QWidget>

class TMinipanelForm : public QWidget {
    Q_OBJECT
public:
    TMinipanelForm(const QString& caption, QWidget* parent = nullptr);
    QString Caption() const { return windowTitle(); }

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void Compose();
    QImage m_image;
};
