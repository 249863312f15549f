#include "app/CDImportSection.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/CommandTable.h"
#include "app/TCDDBSettingsForm.h"
#include "cdimport/CCDDBPrefs.h"
#include "cdimport/CCDRip.h"
#include "common/UiPort.h"
#include "core/CCore.h"
#include "core/CDImportJob.h"
#include "engine/CTransport.h"
#include "library/CPrefs.h"

namespace {
constexpr const char* kImageFilter = "Disc Images (*.cue *.toc *.nrg *.bin);;All Files (*)";

// The track list's two pictures: a disc with a note (image 0, an audio track) and a disc with
// a page of data (image 1, a data track).
QIcon TrackIcon(bool audio) {
    const int s = 32; // drawn large, shown at the list's icon size
    QPixmap pm(s, s);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(QPointF(s * 0.4, s * 0.4), s * 0.6);
    g.setColorAt(0, QColor(0xF4, 0xF4, 0xF8));
    g.setColorAt(1, QColor(0xA8, 0xAC, 0xB8));
    p.setPen(QPen(QColor(0x60, 0x64, 0x70), 1.5));
    p.setBrush(g);
    p.drawEllipse(QRectF(1.5, 1.5, s - 3, s - 3));
    p.setBrush(QColor(0xE3, 0xE3, 0xE9));
    p.drawEllipse(QPointF(s / 2.0, s / 2.0), 4, 4);
    if (audio) {
        // An eighth note over the disc.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x20, 0x50, 0xB0));
        p.drawEllipse(QRectF(s * 0.50, s * 0.62, 9, 7));
        p.fillRect(QRectF(s * 0.50 + 7.5, s * 0.18, 2.5, s * 0.50), QColor(0x20, 0x50, 0xB0));
        QPainterPath flag;
        flag.moveTo(s * 0.50 + 10, s * 0.18);
        flag.cubicTo(s * 0.50 + 16, s * 0.26, s * 0.50 + 15, s * 0.36, s * 0.50 + 12, s * 0.42);
        flag.lineTo(s * 0.50 + 10, s * 0.32);
        p.drawPath(flag);
    } else {
        // A page with lines, for data.
        p.setPen(QPen(QColor(0x50, 0x50, 0x50), 1.2));
        p.setBrush(QColor(0xFF, 0xFF, 0xF0));
        p.drawRect(QRectF(s * 0.52, s * 0.40, 12, 15));
        for (int i = 0; i < 3; ++i)
            p.drawLine(QPointF(s * 0.52 + 3, s * 0.40 + 4 + i * 3.5), QPointF(s * 0.52 + 9, s * 0.40 + 4 + i * 3.5));
    }
    return QIcon(pm);
}
} // namespace

CDImportSection::CDImportSection(CCore& core, UiPort& ui, PeakBuffers& peaks, QWidget* window)
    : AreaController(core), m_ui(ui), m_peaks(peaks), m_window(window) {
    m_widget = new QWidget;
    m_widget->setObjectName("CDPanel");
    auto* v = new QVBoxLayout(m_widget);
    v->setContentsMargins(4, 4, 4, 4);
    v->setSpacing(3);

    auto* driveRow = new QHBoxLayout;
    driveRow->setSpacing(2);
    m_drives = new QComboBox;
    m_drives->setObjectName("CDDrives");
    m_drives->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_drives->setMinimumContentsLength(8);
    m_image = new QPushButton("...");
    m_image->setObjectName("CDOpenImage");
    m_image->setToolTip("Open Disc Image...");
    m_image->setFixedWidth(28);
    m_image->setFocusPolicy(Qt::NoFocus);
    driveRow->addWidget(m_drives, 1);
    driveRow->addWidget(m_image);
    v->addLayout(driveRow);

    m_tracks = new QTreeWidget;
    m_tracks->setObjectName("CDTracks");
    m_tracks->setColumnCount(3);
    m_tracks->setHeaderLabels({"Tracks", "Time", "Size"});
    m_tracks->setRootIsDecorated(false);
    m_tracks->setUniformRowHeights(true);
    m_tracks->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tracks->setIconSize(QSize(16, 16));
    m_tracks->header()->setStretchLastSection(false);
    m_tracks->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_tracks->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_tracks->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    v->addWidget(m_tracks, 1);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(2);
    m_import = new QPushButton("Import");
    m_import->setObjectName("CDImport");
    m_refresh = new QPushButton("Refresh");
    m_refresh->setObjectName("CDRefresh");
    m_cddb = new QPushButton("CDDB");
    m_cddb->setObjectName("CDDBLookup");
    for (QPushButton* b : {m_import, m_refresh, m_cddb}) {
        b->setFocusPolicy(Qt::NoFocus); // Space and Esc stay the window's keys
        buttons->addWidget(b, 1);
    }
    v->addLayout(buttons);

    connect(m_drives, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!m_filling && i >= 0) DriveChosen(i);
    });
    connect(m_image, &QPushButton::clicked, this, [this] { ChooseImage(); });
    connect(m_refresh, &QPushButton::clicked, this, [this] { RefreshTracks(); });
    connect(m_cddb, &QPushButton::clicked, this, [this] { Lookup(); });
    connect(m_import, &QPushButton::clicked, this, [this] { ImportChecked(); });
}

CDImportSection::~CDImportSection() = default;

void CDImportSection::RegisterCommands(CommandTable& commands) {
    m_commands = &commands;
    commands.Bind("setup.cddbSettings", [this](bool) { ShowSettings(); });
}

void CDImportSection::CoreStarted() {
    m_job = std::make_unique<CCDImportJob>(m_core, m_peaks);
    CDImportHooks hooks;
    hooks.clearBrowserSelection = [this] {
        if (m_hooks.clearBrowserSelection) m_hooks.clearBrowserSelection();
    };
    hooks.selectFolder = [this](int32_t folderId) {
        if (m_hooks.selectFolder) m_hooks.selectFolder(folderId);
    };
    hooks.addToBrowser = [this](CRegion& region) {
        if (m_hooks.addToBrowser) m_hooks.addToBrowser(region);
    };
    hooks.redrawTapes = [this] {
        if (m_hooks.redrawTapes) m_hooks.redrawTapes();
    };
    m_job->SetHooks(std::move(hooks));

    // The drive chosen last time, as long as it is still there.
    CCDRip* rip = m_core.CDRip();
    if (rip && m_core.Prefs() && m_core.Prefs()->Has(kDriveKey)) rip->SelectDrive(m_core.Prefs()->GetInt(kDriveKey));
    FillDrives();
    RefreshTracks();
}

void CDImportSection::CoreStopping() {
    if (CCDRip* rip = m_core.CDRip(); rip && m_core.Prefs()) m_core.Prefs()->SetInt(kDriveKey, rip->SelectedDrive());
    m_job.reset();
}

void CDImportSection::FillDrives() {
    m_filling = true;
    m_drives->clear();
    if (CCDRip* rip = m_core.CDRip()) {
        for (int i = 0; i < rip->DriveCount(); ++i) m_drives->addItem(QString::fromStdString(rip->DriveName(i)));
        if (rip->DriveCount() > 0) m_drives->setCurrentIndex(rip->SelectedDrive());
    }
    m_filling = false;
}

void CDImportSection::RefreshTracks() {
    m_tracks->clear();
    CCDRip* rip = m_core.CDRip();
    if (!rip) return;
    const int n = rip->ReadTOC();
    static const QIcon audioIcon = TrackIcon(true), dataIcon = TrackIcon(false);
    QList<QTreeWidgetItem*> rows;
    for (int i = 0; i < n; ++i) {
        auto* item = new QTreeWidgetItem({QString::fromStdString(rip->TrackName(i)),
                                          QString::fromStdString(rip->TrackTime(i)),
                                          QString::fromStdString(rip->TrackSize(i))});
        const bool audio = rip->IsAudioTrack(i);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, audio ? Qt::Checked : Qt::Unchecked);
        item->setIcon(0, audio ? audioIcon : dataIcon);
        // Titles from a lookup seldom fit the narrow panel: the whole name on hovering.
        item->setToolTip(0, item->text(0));
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        rows.push_back(item);
    }
    m_tracks->addTopLevelItems(rows);
}

void CDImportSection::DriveChosen(int index) {
    CCDRip* rip = m_core.CDRip();
    if (!rip) return;
    rip->SelectDrive(index);
    if (m_core.Prefs()) m_core.Prefs()->SetInt(kDriveKey, rip->SelectedDrive());
    RefreshTracks();
}

std::vector<int> CDImportSection::CheckedTracks() const {
    std::vector<int> checked;
    for (int i = 0; i < m_tracks->topLevelItemCount(); ++i)
        if (m_tracks->topLevelItem(i)->checkState(0) == Qt::Checked) checked.push_back(i);
    return checked;
}

void CDImportSection::Lookup() {
    if (!m_core.CDRip()) return;
    m_core.CDDBLookup();
    // The lookup read the table again; the rows show the titles it found (or lost).
    RefreshTracks();
}

bool CDImportSection::TransportReady() {
    CTransport* transport = m_core.Transport();
    if (transport == nullptr) return true;
    if (transport->IsPlaying()) transport->Stop();
    return transport->IsStopped();
}

bool CDImportSection::ImportChecked() {
    if (!m_job || !m_core.CDRip()) return false;
    // The import fills the peak buffers the viewer draws from and writes into the VDisk the
    // player streams from: nothing of the engine may run meanwhile.
    if (!TransportReady()) return false;
    if (m_hooks.clearViewer) m_hooks.clearViewer();
    m_ui.ReportClear();
    const CCDImportJob::Result result = m_job->Run(CheckedTracks());
    // An import of no track has nothing to report.
    if (result.imported == 0 && result.failed == 0 && !result.aborted) return true;
    // The report follows "Show 'Import Audio' Reports" as the file imports' does; its own
    // "Don't show this dialog again " turns that item off.
    QAction* show = m_commands ? m_commands->Action("view.showImportReports") : nullptr;
    if (show && show->isChecked()) {
        bool dontShow = false;
        m_ui.ReportPrepare(kCDImportReportCaption, &dontShow);
        m_ui.ReportShow();
        if (dontShow) {
            show->setChecked(false);
            m_commands->Dispatch("view.showImportReports", false);
        }
    }
    return true;
}

void CDImportSection::ChooseImage() {
    std::vector<std::string> files;
    if (!m_ui.ChooseFiles("Open Disc Image", m_imageFolder, kImageFilter, false, files) || files.empty()) return;
    const std::string& path = files.front();
    const size_t slash = path.find_last_of('/');
    if (slash != std::string::npos) m_imageFolder = path.substr(0, slash);
    OpenImage(path);
}

bool CDImportSection::OpenImage(const std::string& path) {
    CCDRip* rip = m_core.CDRip();
    if (!rip) return false;
    std::string error;
    const int index = rip->AddImage(path, error);
    if (index < 0) {
        m_ui.Notice(error);
        return false;
    }
    rip->SelectDrive(index);
    FillDrives();
    DriveChosen(rip->SelectedDrive());
    return true;
}

void CDImportSection::ShowSettings() {
    if (!m_settings) m_settings = std::make_unique<TCDDBSettingsForm>(m_core.CDDBPrefs(), m_ui, m_window);
    m_settings->exec();
}
