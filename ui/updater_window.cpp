#include "ui/updater_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QThread>
#include <QVBoxLayout>
#include <utility>
#include <vector>

#include "app/run_log.h"
#include "ui/fonts.h"
#include "ui/pictures.h"
#include "ui/screen_centring.h"

namespace ui {
namespace {

const QColor kGreen(0, 128, 0);
const QColor kRed(255, 0, 0);
constexpr int kClientWidth = 495;
constexpr int kClientHeight = 348;
// Each page is a sheet 487 wide inside the page control, which keeps a border of 4 around it.
constexpr int kPageWidth = 487;
constexpr int kPageBorder = (kClientWidth - kPageWidth) / 2;
constexpr int kLogItemHeight = 13;
// ListLog's items show their text on one line; the exact text, line breaks included, rides
// along under this role for the saved run log.
constexpr int kExactLogTextRole = Qt::UserRole;

QString qs(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

int pageIndex(app::Page p) {
    switch (p) {
        case app::Page::TabSheetFase01:
            return 0;
        case app::Page::TabSheetFase02:
            return 1;
        case app::Page::TabSheetFase03:
            return 2;
    }
    return 0;
}

// The colour of an enabled control's text; a disabled control keeps the style's disabled colour,
// so that a disabled "Avanti" or "Fine" looks disabled.
void setTextColour(QWidget* w, const QColor& c, QPalette::ColorRole role = QPalette::WindowText) {
    QPalette p = w->palette();
    p.setColor(QPalette::Active, role, c);
    p.setColor(QPalette::Inactive, role, c);
    w->setPalette(p);
}

// A log item's text on one line: each line break (CR LF, CR, LF, NEL, U+2028, U+2029) is shown
// as one blank. A statement's error puts CR LF before the server's message, and a two-line
// text in a 13-pixel row would be cut down to ">> ...".
QString oneLine(const QString& text) {
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const bool lineBreak = c == u'\r' || c == u'\n' || c == 0x85 || c == 0x2028 || c == 0x2029;
        if (!lineBreak) {
            shown += text[i];
            continue;
        }
        shown += QLatin1Char(' ');
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) ++i;
    }
    return shown;
}

// Where the folder chooser opens: the user's desktop when there is one, else the home folder.
QString chooserStartFolder() {
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktop.isEmpty() && QFileInfo(desktop).isDir()) return desktop;
    return QDir::homePath();
}

void setWhiteBackground(QWidget* w) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, Qt::white);
    p.setColor(QPalette::Base, Qt::white);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

// A label with its text taken as plain text: captions carry paths and server texts, never markup.
QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QFont& font,
                  const QColor& colour) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setTextFormat(Qt::PlainText);
    l->setFont(font);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextColour(l, colour);
    return l;
}

// A filled green bar without outline (a TShape).
QFrame* makeBar(QWidget* parent, const char* name) {
    auto* bar = new QFrame(parent);
    bar->setObjectName(QLatin1String(name));
    bar->setFrameShape(QFrame::NoFrame);
    QPalette p = bar->palette();
    p.setColor(QPalette::Window, kGreen);
    bar->setPalette(p);
    bar->setAutoFillBackground(true);
    return bar;
}

QPushButton* makeButton(QWidget* parent, const char* name, const char* text, const QColor& colour) {
    auto* b = new QPushButton(QString::fromLatin1(text), parent);
    b->setObjectName(QLatin1String(name));
    b->setFlat(true);
    b->setFont(tahoma(11, Weight::Bold));
    b->setAutoDefault(false);
    setTextColour(b, colour, QPalette::ButtonText);
    return b;
}

QLabel* makeImage(QWidget* parent, const char* name, const QPixmap& pixmap,
                  Qt::Alignment alignment) {
    auto* l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setPixmap(pixmap);
    l->setAlignment(alignment);
    return l;
}

// iPathFAIL: an image that reports clicks.
class ClickableImage : public QLabel {
  public:
    using QLabel::QLabel;
    std::function<void()> onClick;

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
            onClick)
            onClick();
    }
};

}  // namespace

UpdaterWindow::UpdaterWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_okPicture(loadPicture(kPictureOk)),
      m_alertPicture(loadPicture(kPictureAlert)) {
    ensureTahoma();
    setObjectName(QStringLiteral("frmAutoUpdate"));
    setWindowTitle(QStringLiteral("Quillora PRO Auto-Update"));
    setFixedSize(kClientWidth, kClientHeight);
    setFont(tahoma(11));
    setWhiteBackground(this);

    auto* frame = new QVBoxLayout(this);
    frame->setContentsMargins(0, 0, 0, 0);
    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("pctrlUpdater"));
    m_pages->setDocumentMode(true);  // flat tab buttons over a borderless page
    m_pages->tabBar()->setExpanding(false);
    m_pages->tabBar()->setFocusPolicy(Qt::NoFocus);
    frame->addWidget(m_pages);

    const char* names[] = {"TabSheetFase01", "TabSheetFase02", "TabSheetFase03"};
    const char* captions[] = {"Controllo Installazione", "Download Aggiornamento",
                              "Installazione Aggiornameto"};
    for (std::size_t i = 0; i < m_sheets.size(); ++i) {
        // The page control's page holds the sheet, 487 wide, inside its border.
        auto* host = new QWidget;
        setWhiteBackground(host);
        auto* border = new QVBoxLayout(host);
        border->setContentsMargins(kPageBorder, kPageBorder, kPageBorder, kPageBorder);
        auto* sheet = new QWidget(host);
        sheet->setObjectName(QLatin1String(names[i]));
        sheet->setFixedWidth(kPageWidth);
        setWhiteBackground(sheet);
        border->addWidget(sheet);
        m_pages->addTab(host, QString::fromLatin1(captions[i]));
        m_sheets[i] = sheet;
    }
    buildPage1(m_sheets[0]);
    buildPage2(m_sheets[1]);
    buildPage3(m_sheets[2]);
}

UpdaterWindow::~UpdaterWindow() = default;

void UpdaterWindow::buildPage1(QWidget* page) {
    auto* border = new QVBoxLayout(page);
    border->setContentsMargins(5, 5, 5, 5);
    auto* p = new QWidget(page);
    p->setObjectName(QStringLiteral("TabSheetFase01Client"));
    border->addWidget(p);

    makeBar(p, "Shape1")->setGeometry(3, 3, 470, 3);
    auto* label4 = makeLabel(p, "Label4", QStringLiteral("Percorso Quillora Pro"),
                             tahoma(13, Weight::Bold), kGreen);
    label4->move(3, 12);
    label4->adjustSize();
    // iOk and iAlert only hold the pictures that the grid draws.
    auto* iOk = makeImage(p, "iOk", m_okPicture, Qt::AlignLeft | Qt::AlignTop);
    iOk->setGeometry(367, 3, 16, 16);
    iOk->hide();
    auto* iAlert = makeImage(p, "iAlert", m_alertPicture, Qt::AlignLeft | Qt::AlignTop);
    iAlert->setGeometry(389, 3, 16, 16);
    iAlert->hide();
    m_iPathOK = makeImage(p, "iPathOK", m_okPicture, Qt::AlignCenter);
    m_iPathOK->setGeometry(3, 34, 24, 24);
    auto* fail = new ClickableImage(p);
    fail->setObjectName(QStringLiteral("iPathFAIL"));
    fail->setPixmap(m_alertPicture);
    fail->setAlignment(Qt::AlignCenter);
    fail->setGeometry(3, 34, 24, 24);
    fail->setCursor(Qt::PointingHandCursor);
    fail->onClick = [this] {
        if (onPathFail) onPathFail();
    };
    m_iPathFAIL = fail;
    m_labelPercorso = makeLabel(p, "LabelPercorso", QString(), tahoma(16, Weight::Bold),
                                palette().color(QPalette::WindowText));
    m_labelPercorso->setGeometry(33, 34, 432, 24);
    setWhiteBackground(m_labelPercorso);
    makeBar(p, "Shape")->setGeometry(3, 64, 470, 3);
    auto* label5 =
        makeLabel(p, "Label5", QStringLiteral("Aziende Attive"), tahoma(13, Weight::Bold), kGreen);
    label5->move(3, 72);
    label5->adjustSize();

    m_grid = new QTableView(p);
    m_grid->setObjectName(QStringLiteral("Grid"));
    m_grid->setGeometry(3, 94, 501, 156);
    m_grid->setFont(tahoma(11));
    m_model = new CompanyModel(m_grid);
    m_grid->setItemDelegate(new CompanyDelegate(*m_model, m_okPicture, m_alertPicture, m_grid));
    setupGrid(*m_grid, *m_model);

    makeBar(p, "Shape2")->setGeometry(3, 256, 470, 3);
    m_labelStatus = makeLabel(p, "LabelStatus", QString(), tahoma(11), kRed);
    m_labelStatus->setGeometry(3, 261, 470, 13);
    auto* esci = makeButton(p, "btnEsci", "Esci", kRed);
    esci->setGeometry(309, 280, 79, 24);
    connect(esci, &QPushButton::clicked, this, [this] {
        if (onEsci) onEsci();
    });
    m_btnAvanti = makeButton(p, "btnAvanti", "Avanti", kGreen);
    m_btnAvanti->setGeometry(394, 280, 79, 24);
    connect(m_btnAvanti, &QPushButton::clicked, this, [this] {
        if (onAvanti) onAvanti();
    });
}

void UpdaterWindow::buildPage2(QWidget* p) {
    makeImage(p, "Image1", loadPicture(kPictureUpdate), Qt::AlignLeft | Qt::AlignTop)
        ->setGeometry(0, 24, 484, 129);
    makeImage(p, "Image2", loadPicture(kPictureLogo), Qt::AlignLeft | Qt::AlignTop)
        ->setGeometry(136, 103, 121, 34);
    makeLabel(p, "Label1", QStringLiteral("Download package di aggiornamento in corso..."),
              tahoma(16, Weight::Bold), kGreen)
        ->setGeometry(0, 159, 484, 26);
    m_labelDownload = makeLabel(p, "LabelDownload", QString(), tahoma(13), kGreen);
    m_labelDownload->setGeometry(0, 178, 484, 26);
    makeBar(p, "Shape3")->setGeometry(0, 291, 486, 3);
    // pBar runs along the bottom edge; everything above is placed by position.
    auto* bottom = new QVBoxLayout(p);
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->addStretch(1);
    m_pBar = new QProgressBar(p);
    m_pBar->setObjectName(QStringLiteral("pBar"));
    m_pBar->setFixedSize(487, 17);
    m_pBar->setRange(0, 100);
    m_pBar->setValue(0);
    m_pBar->setTextVisible(false);
    bottom->addWidget(m_pBar, 0, Qt::AlignLeft);
}

void UpdaterWindow::buildPage3(QWidget* p) {
    auto* column = new QVBoxLayout(p);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto fixed = [&](QWidget* w, int height) {
        w->setFixedHeight(height);
        column->addWidget(w);
    };
    auto* bevel2 = new QWidget(p);
    bevel2->setObjectName(QStringLiteral("Bevel2"));
    fixed(bevel2, 10);
    m_labelInstall =
        makeLabel(p, "LabelInstall", QStringLiteral("Applicazione Aggiornamenti in corso..."),
                  tahoma(11), kGreen);
    fixed(m_labelInstall, 16);
    fixed(makeBar(p, "Shape4"), 3);
    auto* bevel1 = new QWidget(p);
    bevel1->setObjectName(QStringLiteral("Bevel1"));
    fixed(bevel1, 10);
    m_listLog = new QListWidget(p);
    m_listLog->setObjectName(QStringLiteral("ListLog"));
    m_listLog->setUniformItemSizes(true);
    column->addWidget(m_listLog, 1);
    m_pBarScript = new QProgressBar(p);
    m_pBarScript->setObjectName(QStringLiteral("pBarScript"));
    m_pBarScript->setRange(0, 100);
    m_pBarScript->setValue(0);
    m_pBarScript->setTextVisible(false);
    fixed(m_pBarScript, 16);
    fixed(makeBar(p, "Shape5"), 3);
    auto* panel = new QWidget(p);
    panel->setObjectName(QStringLiteral("Panel1"));
    fixed(panel, 35);
    m_btnFine = makeButton(panel, "btnFine", "Fine", kGreen);
    m_btnFine->setGeometry(405, 6, 79, 24);
    m_btnFine->setEnabled(false);
    connect(m_btnFine, &QPushButton::clicked, this, [this] {
        if (onEsci) onEsci();
    });
}

void UpdaterWindow::centreOnScreen() {
    centreOnScreenWhenShown(*this);
}

int UpdaterWindow::currentPage() const {
    return m_pages->currentIndex();
}

bool UpdaterWindow::tabShown(app::Page page) const {
    return m_tabVisible[static_cast<std::size_t>(pageIndex(page))];
}

QWidget* UpdaterWindow::pageWidget(app::Page page) const {
    return m_sheets[static_cast<std::size_t>(pageIndex(page))];
}

void UpdaterWindow::selectFirstPage() {
    m_pages->setCurrentIndex(0);
}

void UpdaterWindow::setTabVisible(app::Page page, app::Visibility v) {
    const int index = pageIndex(page);
    const bool shown = v == app::Visibility::Shown;
    bool othersHidden = true;
    for (int i = 0; i < 3; ++i)
        if (i != index && m_tabVisible[static_cast<std::size_t>(i)]) othersHidden = false;
    m_tabVisible[static_cast<std::size_t>(index)] = shown;
    m_pages->setTabVisible(index, shown);
    // Showing a tab while no other is visible makes its page the one shown.
    if (shown && othersHidden) m_pages->setCurrentIndex(index);
    showCurrentAfterTabChange();
}

void UpdaterWindow::showCurrentAfterTabChange() {
    // The page shown always has a visible tab, when there is one.
    if (m_tabVisible[static_cast<std::size_t>(m_pages->currentIndex())]) return;
    for (int i = 0; i < 3; ++i)
        if (m_tabVisible[static_cast<std::size_t>(i)]) {
            m_pages->setCurrentIndex(i);
            return;
        }
}

QLabel* UpdaterWindow::label(app::Label which) const {
    switch (which) {
        case app::Label::LabelPercorso:
            return m_labelPercorso;
        case app::Label::LabelStatus:
            return m_labelStatus;
        case app::Label::LabelDownload:
            return m_labelDownload;
        case app::Label::LabelInstall:
            return m_labelInstall;
    }
    return m_labelStatus;
}

void UpdaterWindow::setCaption(app::Label which, const std::string& text) {
    label(which)->setText(qs(text));
}

void UpdaterWindow::setFontColor(app::Label which, app::FontColor color) {
    const QColor c = color == app::FontColor::Red ? kRed : palette().color(QPalette::WindowText);
    setTextColour(label(which), c);
}

void UpdaterWindow::setFontStyle(app::Label which, app::FontStyle style) {
    QLabel* l = label(which);
    l->setFont(tahoma(l->font().pixelSize(),
                      style == app::FontStyle::Bold ? Weight::Bold : Weight::Regular));
}

void UpdaterWindow::setImageVisible(app::Image image, app::Visibility v) {
    QLabel* l = image == app::Image::iPathOK ? m_iPathOK : m_iPathFAIL;
    l->setVisible(v == app::Visibility::Shown);
}

void UpdaterWindow::setButtonEnabled(app::Button button, app::Enablement e) {
    QPushButton* b = button == app::Button::btnAvanti ? m_btnAvanti : m_btnFine;
    b->setEnabled(e == app::Enablement::Enabled);
}

void UpdaterWindow::clearLog() {
    m_listLog->clear();
}

void UpdaterWindow::insertLogLine(const std::string& line) {
    auto* item = new QListWidgetItem(oneLine(qs(line)));
    item->setData(kExactLogTextRole, QByteArray::fromStdString(line));
    item->setSizeHint(QSize(0, kLogItemHeight));
    m_listLog->insertItem(0, item);
}

bool UpdaterWindow::saveLogToFile(const std::string& fileName) {
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(m_listLog->count()));
    for (int i = 0; i < m_listLog->count(); ++i)
        lines.push_back(m_listLog->item(i)->data(kExactLogTextRole).toByteArray().toStdString());
    return app::WriteRunLogFile(fileName, lines);
}

void UpdaterWindow::setScriptBarMin(int value) {
    m_pBarScript->setMinimum(value);
}
void UpdaterWindow::setScriptBarMax(int value) {
    m_pBarScript->setMaximum(value);
}
void UpdaterWindow::setScriptBarPosition(int value) {
    m_pBarScript->setValue(value);
}
int UpdaterWindow::scriptBarPosition() const {
    return m_pBarScript->value();
}
void UpdaterWindow::updateScriptBar() {
    m_pBarScript->repaint();
}

void UpdaterWindow::setDownloadBarMax(int value) {
    m_pBar->setMaximum(value);
}
int UpdaterWindow::downloadBarMax() const {
    return m_pBar->maximum();
}
void UpdaterWindow::setDownloadBarPosition(int value) {
    m_pBar->setValue(value);
}

void UpdaterWindow::companiesChanged(const app::CompanyTable& table, const std::string& latestVid) {
    m_model->reset(table, latestVid);
}

void UpdaterWindow::companyStateChanged(const app::CompanyProgress& progress) {
    if (progress.company)
        m_model->setRunState(static_cast<int>(progress.row), progress.company->state,
                             app::StateText(*progress.company));
}

void UpdaterWindow::processMessages() {
    // A close request that arrives in here finds a phase running (closeEvent looks at the depth).
    ++m_pumpDepth;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    --m_pumpDepth;
}

void UpdaterWindow::requestEnd() {
    m_endRequested = true;
    // Ends the message loop once control is back in it; a nested processEvents goes on. Without
    // a running loop (before exec, or in tests) runWindow looks at endRequested instead.
    if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(0);
}

void UpdaterWindow::terminate() {
    requestEnd();
}

void UpdaterWindow::close() {
    QWidget::close();
}

void UpdaterWindow::closeEvent(QCloseEvent* event) {
    const bool phaseRunning = m_pumpDepth > 0 || !m_openDialog.isNull();
    requestEnd();
    if (!m_openDialog.isNull()) m_openDialog->reject();
    if (phaseRunning) {
        // The phase runs to its end with the window on screen; the program ends after it.
        event->ignore();
        return;
    }
    event->accept();
}

int UpdaterWindow::runDialog(QDialog& dialog) {
    centreOnScreenWhenShown(dialog);
    m_openDialog = &dialog;
    const int result = dialog.exec();
    m_openDialog = nullptr;
    return result;
}

bool UpdaterWindow::askOkCancel(const std::string& text) {
    if (m_endRequested) return false;  // dialogs after a close request answer Cancel by themselves
    QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), qs(text),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setObjectName(QStringLiteral("AskOkCancel"));
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    return runDialog(box) == QMessageBox::Ok;
}

std::string UpdaterWindow::chooseFolder() {
    if (m_endRequested) return {};
    QFileDialog dialog(this, QStringLiteral("Scegli Directory..."));
    dialog.setObjectName(QStringLiteral("ChooseFolder"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    // Qt's own chooser: the same on every desktop, and modal over this window.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    // Rooted where the user's own folders are, whatever folder the dialog remembers or the
    // program was started in.
    dialog.setDirectory(chooserStartFolder());
    if (runDialog(dialog) != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? std::string() : chosen.first().toStdString();
}

}  // namespace ui
