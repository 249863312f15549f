#include "app/SideSections.h"

#include <QAction>
#include <QEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

#include "app/WindowAreas.h"
#include "app/CommandTable.h"
#include "core/CCore.h"
#include "library/CPrefs.h"

namespace {
constexpr int kAutoExpandKey = 25;
constexpr int kLeftPanelKey = 26; // 27 the right panel, 28 the panel above the VTape
constexpr int kPinnedKey = 35;

struct SectionInfo {
    const char* title;
    bool browse;
    bool edit;
    int openHeight;
};
constexpr SectionInfo kSections[SideSections::kCount] = {
    {"Import Files", true, false, 536},    {"Record", true, false, 412},
    {"Import AudioCD", true, false, 321},  {"Edit Region Notes", true, false, 182},
    {"Preprocess", false, false, 600},     {"Edit Fades", false, false, 200},
    {"Edit Ranges", false, true, 260},     {"Edit Markers", false, true, 200},
    {"View Region Info", true, true, 390}, {"Edit DSP Snaps", false, true, 300},
    {"Edit DSP Chain", false, true, 300},  {"View Region and Subregions", true, true, 180},
};

// "Tahoma" where it is installed, else the desktop's sans-serif font.
QFont HeaderFont() {
    QFont f("Tahoma");
    f.setPixelSize(13);
    if (QFontInfo(f).family().compare("Tahoma", Qt::CaseInsensitive) != 0) {
        f = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        f.setPixelSize(13);
    }
    return f;
}
} // namespace

// The header of one section: its picture is composed when its state or size changes and only
// shown by paintEvent; a left press goes to the column.
class SectionHeader : public QWidget {
public:
    SectionHeader(SideSections& owner, int section, QWidget* parent)
        : QWidget(parent), m_owner(owner), m_section(section) {
        setObjectName(QString("SectionHeader%1").arg(section));
        setFixedHeight(SideSections::kHeaderHeight);
        setCursor(Qt::PointingHandCursor);
    }
    void SetState(bool open, bool pinned) {
        if (open == m_open && pinned == m_pinned && m_image.size() == size()) return;
        m_open = open;
        m_pinned = pinned;
        Compose();
        update();
    }
    const QImage& Image() const { return m_image; }

protected:
    void resizeEvent(QResizeEvent*) override {
        Compose();
        update();
    }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.drawImage(0, 0, m_image);
    }
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton) return;
        m_owner.HeaderPressed(m_section, int(e->position().x()), int(e->position().y()));
    }

private:
    void Compose() {
        const int w = std::max(1, width()), h = SideSections::kHeaderHeight;
        m_image = QImage(w, h, QImage::Format_RGB32);
        QPainter p(&m_image);
        p.setRenderHint(QPainter::Antialiasing);
        // A dark bar, lighter at the top, with a thin line below.
        QLinearGradient g(0, 0, 0, h);
        g.setColorAt(0, m_open ? QColor(0x5A, 0x62, 0x78) : QColor(0x50, 0x54, 0x60));
        g.setColorAt(1, m_open ? QColor(0x34, 0x3A, 0x4C) : QColor(0x30, 0x32, 0x3A));
        p.fillRect(0, 0, w, h, g);
        p.setPen(QColor(0x18, 0x18, 0x1C));
        p.drawLine(0, h - 1, w, h - 1);
        // The picture: a triangle pointing right (collapsed) or down (open).
        QPainterPath tri;
        if (m_open) {
            tri.moveTo(4, 7);
            tri.lineTo(14, 7);
            tri.lineTo(9, 13);
        } else {
            tri.moveTo(6, 5);
            tri.lineTo(12, 10);
            tri.lineTo(6, 15);
        }
        tri.closeSubpath();
        p.fillPath(tri, m_open ? QColor(0xEF, 0xEF, 0xEF) : QColor(0xBF, 0xBF, 0xBF));
        // An open header offers its pin at the right end: hollow when loose, filled when pinned.
        if (m_open) {
            const int cx = w - SideSections::kPinWidth / 2;
            p.setPen(QPen(QColor(0xEF, 0xEF, 0xEF), 1.2));
            p.setBrush(m_pinned ? QColor(0xE0, 0x40, 0x30) : Qt::NoBrush);
            p.drawEllipse(QPointF(cx, 7), 3.5, 3.5);
            p.drawLine(QPointF(cx, 10.5), QPointF(cx, m_pinned ? 17 : 15));
        }
        const QFont font = HeaderFont();
        p.setFont(font);
        p.setPen(m_open ? QColor(0xEF, 0xEF, 0xEF) : QColor(0xBF, 0xBF, 0xBF));
        // The title's box starts at (20, 4) and ends before the pin; a title too long for a
        // narrow panel ends in an ellipsis rather than a cut letter.
        const int room = w - 20 - (m_open ? SideSections::kPinWidth : 2);
        const QString title = QFontMetrics(font).elidedText(SideSections::Title(m_section), Qt::ElideRight, room);
        p.drawText(QRect(20, 4, room, h - 4), Qt::AlignLeft | Qt::AlignTop, title);
    }

    SideSections& m_owner;
    int m_section;
    bool m_open = true; // differs from the first state set, so that one composes
    bool m_pinned = false;
    QImage m_image;
};

const char* SideSections::Title(int section) { return Valid(section) ? kSections[section].title : ""; }
int SideSections::OpenHeight(int section) { return Valid(section) ? kSections[section].openHeight : 0; }
bool SideSections::ShownIn(int section, int mode) {
    if (!Valid(section)) return false;
    return mode == kModeEdit ? kSections[section].edit : kSections[section].browse;
}

SideSections::SideSections(CCore& core, const WindowAreas& areas) : AreaController(core) {
    m_scroll = new QScrollArea;
    m_scroll->setObjectName("SideSections");
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The column has the height of its sections; its width follows the panel (Layout).
    m_scroll->setWidgetResizable(false);
    m_column = new QWidget;
    m_column->setObjectName("SectionColumn");
    m_scroll->setWidget(m_column);
    m_scroll->viewport()->installEventFilter(this);
    for (int i = 0; i < kCount; ++i) {
        Slot& s = m_slots[i];
        s.frame = new QWidget(m_column);
        s.frame->setObjectName(QString("Section%1").arg(i));
        s.header = new SectionHeader(*this, i, s.frame);
        s.frame->hide();
    }
    areas.right->addWidget(m_scroll, 1);
    // At start-up every section lies collapsed.
    for (int i = 0; i < kCount; ++i) m_slots[i].header->SetState(false, false);
}

SideSections::~SideSections() = default;

void SideSections::SetPanels(QWidget* left, QWidget* right, QWidget* above) {
    m_panels = {left, right, above};
    // The edge strips of the side panels watch the mouse for "AutoExpand Panels".
    for (int i = 0; i < 2; ++i)
        if (m_panels[i]) m_panels[i]->installEventFilter(this);
}

void SideSections::SetContent(int section, QWidget* content, QWidget* enableWhileOpen) {
    if (!Valid(section) || !content) return;
    Slot& s = m_slots[section];
    s.content = content;
    s.enableWhileOpen = enableWhileOpen;
    content->setParent(s.frame);
    content->show();
    ApplyEnabled(section);
    Layout();
}

QWidget* SideSections::HeaderWidget(int section) const { return Valid(section) ? m_slots[section].header : nullptr; }
QWidget* SideSections::SectionWidget(int section) const { return Valid(section) ? m_slots[section].frame : nullptr; }

bool SideSections::IsShown(int section) const {
    return Valid(section) && m_slots[section].content && ShownIn(section, m_mode);
}

int SideSections::Height(int section) const { return IsOpen(section) ? OpenHeight(section) : kHeaderHeight; }

void SideSections::RegisterCommands(CommandTable& commands) {
    m_commands = &commands;
    commands.Bind("setup.autoExpand", [this](bool on) { m_autoExpand = on; });
}

void SideSections::CoreStarted() {
    CPrefs* prefs = m_core.Prefs();
    if (!prefs) return;
    // A key never written leaves the panels open, "AutoExpand Panels" off and nothing pinned.
    m_autoExpand = prefs->Has(kAutoExpandKey) && prefs->GetByte(kAutoExpandKey) != 0;
    for (int panel = 0; panel < 3; ++panel)
        if (prefs->Has(kLeftPanelKey + panel)) SetPanelOpen(panel, prefs->GetByte(kLeftPanelKey + panel) != 0);
    SetPinnedBits(prefs->Has(kPinnedKey) ? prefs->GetInt(kPinnedKey) : 0);
    RestorePinned();
    SetAutoExpand(m_autoExpand);
}

void SideSections::SetAutoExpand(bool on) {
    m_autoExpand = on;
    if (m_commands)
        if (QAction* a = m_commands->Action("setup.autoExpand")) a->setChecked(on);
}

void SideSections::CoreStopping() {
    CPrefs* prefs = m_core.Prefs();
    if (!prefs) return;
    prefs->SetByte(kAutoExpandKey, m_autoExpand ? 1 : 0);
    for (int panel = 0; panel < 3; ++panel) {
        // A panel the mouse opened only for the moment counts as closed.
        const bool open = PanelOpen(panel) && !(panel < 2 && m_autoOpened[panel]);
        prefs->SetByte(kLeftPanelKey + panel, open ? 1 : 0);
    }
    prefs->SetInt(kPinnedKey, PinnedBits());
}

void SideSections::ModeChanged(int mode) {
    m_mode = mode;
    Layout();
}

void SideSections::RestorePinned() {
    for (int i = 0; i < kCount; ++i) SetOpen(i, m_pinned[i]);
    Layout();
}

int SideSections::PinnedBits() const {
    int bits = 0;
    for (int i = 0; i < kCount; ++i)
        if (m_pinned[i]) bits |= 1 << i;
    return bits;
}

void SideSections::SetPinnedBits(int bits) {
    for (int i = 0; i < kCount; ++i) {
        m_pinned[i] = (bits >> i) & 1;
        m_slots[i].header->SetState(m_open[i], m_pinned[i]);
    }
}

void SideSections::HeaderPressed(int section, int x, int y) {
    if (!Valid(section) || y < 0 || y >= 20) return;
    const int width = m_slots[section].header->width();
    if (m_open[section] && x >= width - kPinWidth) {
        m_pinned[section] = !m_pinned[section];
        m_slots[section].header->SetState(m_open[section], m_pinned[section]);
        return;
    }
    HeaderClicked(section);
}

void SideSections::HeaderClicked(int section) {
    if (!Valid(section)) return;
    const bool open = m_pinned[section] ? true : !m_open[section];
    SetOpen(section, open);
    for (int i = 0; i < kCount; ++i)
        if (i != section && !m_pinned[i]) SetOpen(i, false);
    Layout();
    if (open) ScrollIntoView(section);
}

void SideSections::SetOpen(int section, bool open) {
    m_open[section] = open;
    m_slots[section].header->SetState(open, m_pinned[section]);
    ApplyEnabled(section);
}

void SideSections::ApplyEnabled(int section) {
    Slot& s = m_slots[section];
    if (s.enableWhileOpen) s.enableWhileOpen->setEnabled(m_open[section]);
}

void SideSections::Layout() {
    const int width = m_scroll->viewport()->width();
    int y = 0;
    for (int i = 0; i < kCount; ++i) {
        Slot& s = m_slots[i];
        const bool shown = IsShown(i);
        // A section of the other mode is out of the column and out of reach of keys as well.
        s.frame->setVisible(shown);
        s.frame->setEnabled(shown);
        if (!shown) continue;
        const int h = Height(i);
        s.frame->setGeometry(0, y, width, h);
        s.header->setGeometry(0, 0, width, kHeaderHeight);
        // The content keeps its open size; a collapsed frame simply clips it away.
        if (s.content) s.content->setGeometry(0, kHeaderHeight, width, OpenHeight(i) - kHeaderHeight);
        y += h;
    }
    // The column is exactly as tall as its sections, so the scroll area never shows space
    // below the last one; it clamps the scroll position when the column shrinks.
    m_column->resize(width, y);
}

void SideSections::ScrollIntoView(int section) {
    QScrollBar* bar = m_scroll->verticalScrollBar();
    const int top = m_slots[section].frame->y();
    const int bottom = top + Height(section);
    const int view = m_scroll->viewport()->height();
    int value = bar->value();
    // As much of the section as fits, its header first.
    if (bottom > value + view) value = bottom - view;
    if (top < value) value = top;
    bar->setValue(value);
}

QWidget* SideSections::PanelWidget(int panel) const {
    return panel >= 0 && panel < 3 ? m_panels[size_t(panel)] : nullptr;
}

bool SideSections::PanelOpen(int panel) const {
    QWidget* w = PanelWidget(panel);
    if (!w) return false;
    // The fixed size, not the geometry: the layout applies a change only later.
    return (panel == AbovePanel ? w->maximumHeight() : w->maximumWidth()) > kPanelClosed;
}

void SideSections::SetPanelOpen(int panel, bool open) {
    QWidget* w = PanelWidget(panel);
    if (!w) return;
    if (panel < 2) m_autoOpened[size_t(panel)] = false;
    if (panel == AbovePanel) w->setFixedHeight(open ? kAbovePanelOpen : kPanelClosed);
    else w->setFixedWidth(open ? kSidePanelOpen : kPanelClosed);
}

bool SideSections::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_scroll->viewport() && event->type() == QEvent::Resize) {
        Layout();
        return false;
    }
    for (int panel = 0; panel < 2; ++panel) {
        if (watched != m_panels[size_t(panel)]) continue;
        if (event->type() == QEvent::Enter && m_autoExpand && !PanelOpen(panel)) {
            SetPanelOpen(panel, true);
            m_autoOpened[size_t(panel)] = true;
        } else if (event->type() == QEvent::Leave && m_autoOpened[size_t(panel)]) {
            SetPanelOpen(panel, false);
        }
    }
    return false;
}
