#include "app/TVSTDockingForm.h"

#include <QAction>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <algorithm>

#include "app/TMinipanelForm.h"
#include "app/VSTEditorWindow.h"
#include "vst/CVSTEffect.h"
#include "vst/CVSTEffectList.h"

namespace {
const QColor kEdge(136, 136, 136);
const QColor kButton(0x50, 0x50, 0x58);
const QColor kGlyph(0xE0, 0xE0, 0xE0);
const QColor kLampOn(0x30, 0xE0, 0x40);
const QColor kLampOff(0x12, 0x3A, 0x16);
constexpr int kSignatureBits = CVSTEffect::FlagCollapsed | CVSTEffect::FlagBypassed;

void DrawButton(QPainter& p, DockButton button, int y) {
    const QRectF box(3, y + 0.5, 12, 10);
    p.setPen(Qt::NoPen);
    p.setBrush(kButton);
    p.drawRoundedRect(box, 2, 2);
    p.setBrush(kGlyph);
    QPainterPath glyph;
    const qreal cx = box.center().x(), cy = box.center().y();
    switch (button) {
    case DockButton::Collapse: p.drawRect(QRectF(cx - 3.5, cy - 0.75, 7, 1.5)); return;
    case DockButton::Expand:
        p.drawRect(QRectF(cx - 3.5, cy - 0.75, 7, 1.5));
        p.drawRect(QRectF(cx - 0.75, cy - 3.5, 1.5, 7));
        return;
    case DockButton::MoveUp:
        glyph.moveTo(cx, cy - 3);
        glyph.lineTo(cx + 4, cy + 2.5);
        glyph.lineTo(cx - 4, cy + 2.5);
        break;
    case DockButton::MoveDown:
        glyph.moveTo(cx, cy + 3);
        glyph.lineTo(cx + 4, cy - 2.5);
        glyph.lineTo(cx - 4, cy - 2.5);
        break;
    case DockButton::BypassLamp: return;
    }
    glyph.closeSubpath();
    p.drawPath(glyph);
}

void DrawLamp(QPainter& p, int y, bool lit) {
    QRadialGradient g(QPointF(8, y + 7), 7, QPointF(7, y + 5));
    g.setColorAt(0, lit ? kLampOn.lighter(160) : kLampOff.lighter(130));
    g.setColorAt(1, lit ? kLampOn : kLampOff);
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), 1));
    p.setBrush(g);
    p.drawEllipse(QRectF(2.5, y + 1.5, 12, 12));
}
} // namespace

TVSTDockingForm::TVSTDockingForm(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName("VSTDockingForm");
    setWindowTitle("VST");
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(VSTDock::kWidth, VSTDock::kCollapsedHeight);
    move(VSTDock::kFirstLeft, VSTDock::kFirstTop);
}

TVSTDockingForm::~TVSTDockingForm() { SetChain(nullptr); }

void TVSTDockingForm::SetChain(CVSTEffectList* chain) {
    if (chain == m_chain) return;
    if (m_chain) {
        m_chain->CloseAllEditors();
        m_chain->SetCloseHook({});
    }
    m_chain = chain;
    if (m_chain) m_chain->SetCloseHook([this](CVSTEffect& effect) { CloseWindows(effect); });
    LayoutDock();
}

void TVSTDockingForm::SetEditMode(bool edit) {
    m_edit = edit;
    LayoutDock();
}

VSTEditorWindow* TVSTDockingForm::EditorOf(const CVSTEffect& effect) {
    return static_cast<VSTEditorWindow*>(effect.EditorWindow());
}

TMinipanelForm* TVSTDockingForm::MiniPanelOf(const CVSTEffect& effect) {
    return static_cast<TMinipanelForm*>(effect.MiniPanel());
}

std::vector<DockSlot> TVSTDockingForm::Slots() const {
    std::vector<DockSlot> list;
    if (!m_chain) return list;
    const qreal ratio = devicePixelRatioF();
    for (int i = 0; i < m_chain->Count(); ++i) {
        const CVSTEffect* e = m_chain->Get(i);
        DockSlot s;
        s.collapsed = e->Collapsed();
        s.bypassed = e->Bypassed();
        s.editorHeight = VSTEditorWindow::LogicalSize(QSize(e->EditorWidth(), e->EditorHeight()), ratio).height();
        list.push_back(s);
    }
    return list;
}

std::vector<std::pair<const CVSTEffect*, int>> TVSTDockingForm::Signature() const {
    std::vector<std::pair<const CVSTEffect*, int>> sig;
    if (m_chain)
        for (int i = 0; i < m_chain->Count(); ++i) {
            const CVSTEffect* e = m_chain->Get(i);
            sig.emplace_back(e, e->Flags() & kSignatureBits);
        }
    return sig;
}

void TVSTDockingForm::LayoutDock() {
    if (m_laying) return;
    m_laying = true;
    m_laidOut = Signature();
    if (!m_chain || !m_edit || m_chain->Count() == 0) {
        if (m_chain) m_chain->CloseAllEditors();
        m_place = DockPlace{};
        hide();
        m_laying = false;
        return;
    }
    // An effect is loaded when the dock first needs its editor (one recreated by a snap, or
    // appended by name); the chain keeps the audio thread out meanwhile.
    m_chain->LoadAll();
    if (!m_placed) {
        move(VSTDock::kFirstLeft, VSTDock::kFirstTop);
        m_placed = true;
    }
    // The windows first: an editor may know its size only once it is open.
    for (int i = 0; i < m_chain->Count(); ++i) {
        CVSTEffect& e = *m_chain->Get(i);
        if (e.Collapsed()) {
            CloseEditor(e);
            OpenMiniPanel(e);
        } else {
            CloseMiniPanel(e);
            OpenEditor(e);
        }
    }
    PlaceWindows();
    setFixedSize(VSTDock::kWidth, std::max(1, m_place.height));
    Compose();
    show();
    update();
    m_laying = false;
}

void TVSTDockingForm::PlaceWindows() {
    if (!m_chain) return;
    m_place = ::LayoutDock(Slots(), x(), y());
    const int count = std::min<int>(m_chain->Count(), static_cast<int>(m_place.places.size()));
    for (int i = 0; i < count; ++i) {
        CVSTEffect& e = *m_chain->Get(i);
        const DockSlotPlace& s = m_place.places[static_cast<size_t>(i)];
        e.SetPosition(s.windowX, s.windowY);
        if (QWidget* w = EditorOf(e)) w->move(s.windowX, s.windowY);
        if (QWidget* w = MiniPanelOf(e)) w->move(s.windowX, s.windowY);
    }
}

void TVSTDockingForm::OpenEditor(CVSTEffect& effect) {
    if (EditorOf(effect) || !effect.Loaded()) return;
    auto* w = new VSTEditorWindow(this);
    const qreal ratio = devicePixelRatioF();
    const QSize before(effect.EditorWidth(), effect.EditorHeight());
    w->setFixedSize(VSTEditorWindow::LogicalSize(before.expandedTo(QSize(1, 1)), ratio));
    w->setWindowTitle(QString::fromStdString(effect.EffectName()));
    w->move(effect.Left(), effect.Top());
    effect.SetEditorWindow(w);
    w->show();
    if (!VSTEditorWindow::CanEmbed() || !effect.EditOpen(w->NativeId())) return;
    // Many plug-ins build their editor only when it opens and give no rectangle before: their
    // slot takes the size they report now.
    int width = 0, height = 0;
    if (effect.EditGetRect(width, height) && QSize(width, height) != before && width > 0 && height > 0)
        w->setFixedSize(VSTEditorWindow::LogicalSize(QSize(width, height), ratio));
}

void TVSTDockingForm::CloseEditor(CVSTEffect& effect) {
    VSTEditorWindow* w = EditorOf(effect);
    // The plug-in lets go of its child window before ours goes.
    effect.EditClose();
    effect.SetEditorWindow(nullptr);
    delete w;
}

void TVSTDockingForm::OpenMiniPanel(CVSTEffect& effect) {
    if (MiniPanelOf(effect)) return;
    auto* panel = new TMinipanelForm(QString::fromStdString(effect.EffectName()), this);
    effect.SetMiniSize(VSTDock::kMiniPanelWidth, VSTDock::kMiniPanelHeight);
    panel->move(effect.Left(), effect.Top());
    effect.SetMiniPanel(panel);
    effect.SetFlags(effect.Flags() | CVSTEffect::FlagMiniPanelOpen);
    panel->show();
}

void TVSTDockingForm::CloseMiniPanel(CVSTEffect& effect) {
    TMinipanelForm* panel = MiniPanelOf(effect);
    effect.SetMiniPanel(nullptr);
    effect.SetFlags(effect.Flags() & ~CVSTEffect::FlagMiniPanelOpen);
    delete panel;
}

void TVSTDockingForm::CloseWindows(CVSTEffect& effect) {
    CloseEditor(effect);
    CloseMiniPanel(effect);
}

void TVSTDockingForm::Compose() {
    const qreal ratio = devicePixelRatioF();
    const int w = VSTDock::kWidth, h = std::max(1, m_place.height);
    m_image = QImage(QSize(w, h) * ratio, QImage::Format_RGB32);
    m_image.setDevicePixelRatio(ratio);
    m_image.fill(Qt::black);
    QPainter p(&m_image);
    p.setPen(kEdge);
    p.drawLine(0, 0, 0, h - 1);
    p.drawLine(0, 0, w - 1, 0);
    p.setRenderHint(QPainter::Antialiasing);
    for (const DockSlotPlace& s : m_place.places)
        for (const DockMark& m : s.marks) {
            if (m.button == DockButton::BypassLamp) DrawLamp(p, m.y, m.lit);
            else DrawButton(p, m.button, m.y);
        }
}

void TVSTDockingForm::paintEvent(QPaintEvent*) {
    // A chain changed elsewhere (a snap recalled by a click on a region) is laid out again; not
    // from inside the paint, which must not resize the window it paints.
    if (Signature() != m_laidOut) QTimer::singleShot(0, this, [this] { LayoutDock(); });
    QPainter p(this);
    p.drawImage(0, 0, m_image);
}

void TVSTDockingForm::Act(const DockHit& hit) {
    if (!m_chain || hit.action == DockAction::None) return;
    CVSTEffect* e = m_chain->Get(hit.index);
    if (!e) return;
    switch (hit.action) {
    case DockAction::Collapse: e->SetCollapsed(true); break;
    case DockAction::Expand: e->SetCollapsed(false); break;
    case DockAction::ToggleBypass: e->SetBypassed(!e->Bypassed()); break;
    case DockAction::MoveUp: m_chain->MoveUp(hit.index); break;
    case DockAction::MoveDown: m_chain->MoveDown(hit.index); break;
    case DockAction::None: break;
    }
    LayoutDock();
    if ((hit.action == DockAction::MoveUp || hit.action == DockAction::MoveDown) && chainChanged) chainChanged();
}

QMenu* TVSTDockingForm::ProgramMenu(int index, QWidget* parent) {
    CVSTEffect* e = m_chain ? m_chain->Get(index) : nullptr;
    if (!e || !e->Loaded()) return nullptr;
    const int count = std::min(e->ProgramCount(), kMaxMenuPrograms);
    if (count <= 0) return nullptr;
    // Some plug-ins switch programs to name them; the current one is put back afterwards.
    const int current = e->GetProgram();
    auto* menu = new QMenu(parent);
    menu->setObjectName("VSTProgramMenu");
    for (int i = 0; i < count; ++i) {
        std::string name;
        const QString caption = e->ProgramName(i, name) ? QString::fromStdString(name)
                                                        : QString("Program %1").arg(i + 1);
        QAction* a = menu->addAction(caption);
        a->setCheckable(true);
        a->setChecked(i == current);
        const CVSTEffect* target = e;
        connect(a, &QAction::triggered, this, [this, target, i] {
            // The effect may have left the chain while the menu was open.
            if (!m_chain) return;
            const int at = m_chain->IndexOf(target);
            if (CVSTEffect* now = m_chain->Get(at)) now->SetProgram(i);
        });
    }
    e->SetProgram(current);
    return menu;
}

void TVSTDockingForm::mousePressEvent(QMouseEvent* e) {
    const QPoint at = e->position().toPoint();
    if (e->button() == Qt::RightButton) {
        const int index = SlotAt(Slots(), at.y());
        if (QMenu* menu = ProgramMenu(index, this)) {
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->popup(e->globalPosition().toPoint());
        }
        return;
    }
    if (e->button() != Qt::LeftButton) return;
    // Every left press may start a move of the dock; one on a button acts as well.
    m_dragging = true;
    m_dragStart = e->globalPosition().toPoint();
    m_dockStart = pos();
    Act(HitDock(Slots(), at.x(), at.y()));
}

void TVSTDockingForm::mouseMoveEvent(QMouseEvent* e) {
    if (!m_dragging || !(e->buttons() & Qt::LeftButton)) return;
    move(m_dockStart + (e->globalPosition().toPoint() - m_dragStart));
    PlaceWindows();
}

void TVSTDockingForm::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) m_dragging = false;
}
