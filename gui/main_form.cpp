#include "gui/main_form.h"

#include "directory/connections.h"
#include "directory/error_text.h"
#include "gui/control_walk.h"
#include "gui/controls.h"
#include "gui/form_about.h"
#include "gui/qt_host.h"
#include "util/export.h"
#include "util/paths.h"
#include "util/selection_lists.h"
#include "util/settings.h"
#include "util/shell.h"
#include "util/text.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace era {

const char* const MakerAddress = "https://www.vexilant.com/";

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}
std::string S(const QString& text) {
    return text.toStdString();
}

// Every component carries its name as objectName: the settings keys come from the widgets.
template <typename T>
T* Named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLabel* Caption(const QString& text, QWidget* buddy, const char* name) {
    auto* label = Named(new QLabel(text), name);
    label->setBuddy(buddy);
    return label;
}

// The result memos: read-only, fixed pitch, no word wrap, a vertical scroll bar.
QPlainTextEdit* ResultMemo(const char* name) {
    auto* memo = Named(new QPlainTextEdit, name);
    memo->setReadOnly(true);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    memo->setFont(font);
    // Tab stops every eight columns, as the lines were laid out for.
    memo->setTabStopDistance(QFontMetricsF(font).horizontalAdvance(QLatin1Char(' ')) * 8);
    memo->setContextMenuPolicy(Qt::CustomContextMenu);
    return memo;
}

// The UNC path an item of the folder tree stands for.
std::string FolderOf(const QTreeWidgetItem* item) {
    return item ? S(item->data(0, Qt::UserRole).toString()) : "";
}

QTreeWidgetItem* FolderItem(const std::string& path, const QString& caption) {
    auto* item = new QTreeWidgetItem(QStringList{caption});
    item->setData(0, Qt::UserRole, Q(path));
    // Children are listed when the folder opens.
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return item;
}

} // namespace

TMainForm::TMainForm(uint8_t editionCode, QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Effective Rights Analysis"));
    state_.Startup.EditionCode = editionCode;
    CreateComponents();
    FormCreate();
}

TMainForm::~TMainForm() {
    // The status bar sink points into labels that go with the window.
    state_.StatusBar = std::make_unique<TStatusBar>();
}

// ---------------------------------------------------------------------------------------------
// Components

void TMainForm::CreateComponents() {
    CreateMenus();
    PageControl1 = Named(new QTabWidget, "PageControl1");
    PageControl1->addTab(CreateInfoPage(), QStringLiteral("&Info"));
    PageControl1->addTab(CreateSettingsPage(), QStringLiteral("&Settings"));
    PageControl1->addTab(CreateSelectEdirPage(), QStringLiteral("Select &eDirectory Objects"));
    PageControl1->addTab(CreateSelectPathPage(), QStringLiteral("Select Start &Path"));
    PageControl1->addTab(CreateActionPage(), QStringLiteral("Scan for &Trustees"));
    PageControl1->addTab(CreateDebugPage(), QStringLiteral("T&roubleshooting"));
    setCentralWidget(PageControl1);
    connect(PageControl1, &QTabWidget::currentChanged, this, [this] { PageControl1Change(); });

    // Two panels: the selection count (250 pixels) and the progress, which takes the rest so
    // that the object or path being scanned can be read.
    auto* bar = Named(new QStatusBar, "StatusBar1");
    StatusBar1 = bar;
    StatusPanel0 = Named(new QLabel, "StatusBar1Panel0");
    StatusPanel0->setFixedWidth(250);
    StatusPanel1 = Named(new QLabel, "StatusBar1Panel1");
    StatusPanel1->setMinimumWidth(50);
    bar->addWidget(StatusPanel0);
    bar->addWidget(StatusPanel1, 1);
    bar->setCursor(Qt::PointingHandCursor);
    bar->installEventFilter(this);
    StatusPanel0->installEventFilter(this);
    StatusPanel1->installEventFilter(this);
    setStatusBar(bar);
    state_.StatusBar = std::make_unique<TQtStatusBar>(StatusPanel0, StatusPanel1);

    SaveDialog = Named(new QFileDialog(this), "SaveDialog");
    SaveDialog->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog->setOption(QFileDialog::DontUseNativeDialog);
    SaveDialog->setDefaultSuffix(QStringLiteral("txt"));
    SaveDialog->setNameFilters({QStringLiteral("Text Files (*.txt)"), QStringLiteral("All Files (*)")});

    // Escape ends a running scan after its current item.
    auto* stop = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(stop, &QShortcut::activated, this, [this] { BitBtnStopClick(); });
    resize(820, 600);
}

void TMainForm::CreateMenus() {
    auto action = [this](const QString& caption, const char* name) {
        auto* a = Named(new QAction(caption, this), name);
        return a;
    };
    ActionSaveAsTxt = action(QStringLiteral("... as *.TXT"), "ActionSaveAsTxt");
    ActionSaveAsClipboard = action(QStringLiteral("... to Clipboard"), "ActionSaveAsClipboard");
    ActionSaveAsExcel = action(QStringLiteral("... to Excel"), "ActionSaveAsExcel");
    ActionSettingsShowDetails = action(QStringLiteral("Show &Details"), "ActionSettingsShowDetails");
    ActionSettingsShowDetails->setCheckable(true);
    ActionSettingsShowDetails->setToolTip(QStringLiteral("Show Detailed Rights Analysis"));
    ActionAbout = action(QStringLiteral("About ..."), "ActionAbout");
    connect(ActionSaveAsTxt, &QAction::triggered, this, [this] { ActionSaveAsTxtClick(); });
    connect(ActionSaveAsClipboard, &QAction::triggered, this, [this] { ActionSaveToClipboardClick(); });
    connect(ActionSaveAsExcel, &QAction::triggered, this, [this] { ActionSaveToExcelClick(); });
    connect(ActionAbout, &QAction::triggered, this, [this] { ActionAboutExecute(); });

    QMenuBar* bar = menuBar();
    MenuFile = Named(bar->addMenu(QStringLiteral("File")), "MenuFile");
    MenuSave = Named(MenuFile->addMenu(QStringLiteral("Save ...")), "MenuSave");
    // The submenu is the action "Save ...": opening it brings its three commands up to date.
    ActionSaveAs = Named(MenuSave->menuAction(), "ActionSaveAs");
    for (QAction* a : {ActionSaveAsTxt, ActionSaveAsClipboard, ActionSaveAsExcel})
        MenuSave->addAction(a);
    connect(MenuSave, &QMenu::aboutToShow, this, [this] { ActionSaveAsExecute(); });
    MenuFile->addSeparator();
    MenuExit = Named(MenuFile->addAction(QStringLiteral("E&xit")), "MenuExit");
    connect(MenuExit, &QAction::triggered, this, [this] { MenuExitClick(); });

    MenuSettings = Named(bar->addMenu(QStringLiteral("&Settings")), "MenuSettings");
    MenuSettingsShowDetails =
        Named(MenuSettings->addAction(QStringLiteral("Show &Details")), "MenuSettingsShowDetails");
    MenuSettingsShowDetails->setCheckable(true);
    MenuSettingsShowDetails->setToolTip(ActionSettingsShowDetails->toolTip());
    connect(MenuSettingsShowDetails, &QAction::triggered, this,
            [this] { ActionSettingsShowDetailsExecute(true); });
    MenuSettingsResolveContainers = Named(MenuSettings->addAction(QStringLiteral("&Resolve Containers")),
                                          "MenuSettingsResolveContainers");
    MenuSettingsResolveContainers->setCheckable(true);
    MenuSettingsShowOnlyUsers =
        Named(MenuSettings->addAction(QStringLiteral("Show only &Users")), "MenuSettingsShowOnlyUsers");
    MenuSettingsShowOnlyUsers->setCheckable(true);
    // Neither entry is offered in any edition.
    MenuSettingsResolveContainers->setVisible(false);
    MenuSettingsShowOnlyUsers->setVisible(false);
    bar->addAction(ActionAbout);

    PopupMenuS = Named(new QMenu(this), "PopupMenuS");
    PopupMenuSave = Named(PopupMenuS->addMenu(QStringLiteral("Save ...")), "PopupMenuSave");
    for (QAction* a : {ActionSaveAsTxt, ActionSaveAsClipboard, ActionSaveAsExcel})
        PopupMenuSave->addAction(a);
    connect(PopupMenuSave, &QMenu::aboutToShow, this, [this] { ActionSaveAsExecute(); });

    ActionList = {ActionSaveAs,      ActionSaveAsTxt,           ActionSaveAsClipboard,
                  ActionSaveAsExcel, ActionSettingsShowDetails, ActionAbout};
}

QWidget* TMainForm::CreateInfoPage() {
    TabSheetInfo = Named(new QWidget, "TabSheetInfo");
    auto* layout = new QVBoxLayout(TabSheetInfo);
    PanelInfoTop = Named(new QLabel(QStringLiteral("Effective Rights Analysis")), "PanelInfoTop");
    QFont banner(QStringLiteral("Arial"), 16, QFont::Bold);
    banner.setStyleHint(QFont::SansSerif);
    PanelInfoTop->setFont(banner);
    PanelInfoTop->setAlignment(Qt::AlignCenter);
    PanelInfoTop->setFrameShape(QFrame::StyledPanel);
    PanelInfoTop->setMinimumHeight(48);
    Memo1 = Named(new QPlainTextEdit, "Memo1");
    Memo1->setReadOnly(true);
    layout->addWidget(PanelInfoTop);
    layout->addWidget(Memo1, 1);
    return TabSheetInfo;
}

QWidget* TMainForm::CreateSettingsPage() {
    TabSheetSettings = Named(new QWidget, "TabSheetSettings");
    auto* page = new QVBoxLayout(TabSheetSettings);
    PanelSettingsConfig = Named(new QWidget, "PanelSettingsConfig");
    auto* form = new QFormLayout(PanelSettingsConfig);
    EditFilterExcl = Named(new QLineEdit, "EditFilterExcl");
    EditFilterExcl->setToolTip(
        QStringLiteral("All user names that DO contain the specified string will be excluded"));
    EditFilterIncl = Named(new QLineEdit, "EditFilterIncl");
    EditFilterIncl->setToolTip(
        QStringLiteral("All user names that DO NOT contain the specified string will be excluded"));
    form->addRow(Caption(QStringLiteral("E&xclude Filter"), EditFilterExcl, "LabelFilterExcl"),
                 EditFilterExcl);
    form->addRow(Caption(QStringLiteral("I&nclude Filter"), EditFilterIncl, "LabelFilterIncl"),
                 EditFilterIncl);
    CheckBoxSettingsResolveContainers = Named(new QCheckBox(QStringLiteral("Resolve &Container Trustees")),
                                              "CheckBoxSettingsResolveContainers");
    CheckBoxSettingsResolveContainers->setToolTip(QStringLiteral(
        "If a container is assigned a trustee, setting this checkbox will let Vexilant add all "
        "members of this container individually. This will decrease performance."));
    form->addRow(CheckBoxSettingsResolveContainers);
    PanelSettingsWdr = Named(new QWidget, "PanelSettingsWdr");
    auto* wdr = new QVBoxLayout(PanelSettingsWdr);
    wdr->setContentsMargins(0, 0, 0, 0);
    CheckBoxSettingsScanSubDirs =
        Named(new QCheckBox(QStringLiteral("Include S&ubdirectories")), "CheckBoxSettingsScanSubDirs");
    CheckBoxSettingsScanSubDirs->setToolTip(
        QStringLiteral("Scan the selected paths plus their immediate subdirectories"));
    wdr->addWidget(CheckBoxSettingsScanSubDirs);
    form->addRow(PanelSettingsWdr);
    page->addWidget(PanelSettingsConfig);
    page->addStretch(1);
    return TabSheetSettings;
}

TCheckListBox* TMainForm::CreateSelectionList(QBoxLayout* page, QLabel*& label, const char* labelName,
                                              const char* caption, const char* name, const char* hint) {
    label = Named(new QLabel(QString::fromLatin1(caption)), labelName);
    page->addWidget(label);
    auto* list = Named(new TCheckListBox, name);
    list->setToolTip(QString::fromLatin1(hint));
    page->addWidget(list, 2);
    connect(list, &TCheckListBox::checkChanged, this,
            [this, list](int row) { CheckListBoxClick(list, row); });
    connect(list, &QListWidget::itemDoubleClicked, this, [this, list] { CheckListBoxDblClick(list); });
    return list;
}

QWidget* TMainForm::CreateSelectEdirPage() {
    TabSheetSelectEdir = Named(new QWidget, "TabSheetSelectEdir");
    auto* page = new QVBoxLayout(TabSheetSelectEdir);
    auto* top = new QGridLayout;
    ComboBoxTrees = Named(new QComboBox, "ComboBoxTrees");
    ComboBoxTrees->setEditable(false);
    EditMyName = Named(new QLineEdit, "EditMyName");
    EditMyName->setEnabled(false);
    EditCurrentContainer = Named(new QLineEdit, "EditCurrentContainer");
    EditCurrentContainer->setEnabled(false);
    top->addWidget(Caption(QStringLiteral("&Trees"), ComboBoxTrees, "LabelTrees"), 0, 0);
    top->addWidget(ComboBoxTrees, 0, 1);
    top->addWidget(Named(new QLabel(QStringLiteral("Logged in as")), "LabelMyName"), 1, 0);
    top->addWidget(EditMyName, 1, 1);
    top->addWidget(Named(new QLabel(QStringLiteral("Container")), "LabelCurrentContainer"), 2, 0);
    top->addWidget(EditCurrentContainer, 2, 1);
    top->setColumnStretch(1, 1);
    page->addLayout(top);

    ListBoxEdirContainers = Named(new QListWidget, "ListBoxEdirContainers");
    ListBoxEdirContainers->setToolTip(
        QStringLiteral("Browse to the container that contains the objects that you "
                       "would like to check (double-click to navigate)"));
    ListBoxEdirObjects = Named(new QListWidget, "ListBoxEdirObjects");
    ListBoxEdirObjects->setToolTip(
        QStringLiteral("You may add one or multiple objects that are to be scanned"));
    auto* lists = new QHBoxLayout;
    lists->addWidget(ListBoxEdirContainers, 1);
    lists->addWidget(ListBoxEdirObjects, 1);
    page->addLayout(lists, 3);
    CheckListBoxEdir = CreateSelectionList(page, LabelObjSelected, "LabelObjSelected", "#Objects Selected: 0",
                                           "CheckListBoxEdir",
                                           "The checkbox indicates, if the path is included during the next "
                                           "scan. Double-click to remove an item");

    connect(ComboBoxTrees, &QComboBox::currentIndexChanged, this, [this] { ComboBoxTreesChange(); });
    connect(ListBoxEdirContainers, &QListWidget::itemDoubleClicked, this,
            [this] { ListBoxEdirContainersDblClick(); });
    connect(ListBoxEdirObjects, &QListWidget::itemDoubleClicked, this,
            [this] { ListBoxEdirObjectsDblClick(); });
    return TabSheetSelectEdir;
}

QWidget* TMainForm::CreateSelectPathPage() {
    TabSheetSelectPath = Named(new QWidget, "TabSheetSelectPath");
    auto* page = new QVBoxLayout(TabSheetSelectPath);
    auto* top = new QHBoxLayout;
    RadioGroupServers = Named(new TRadioGroup(QStringLiteral("&Connection List")), "RadioGroupServers");
    RadioGroupServers->setToolTip(QStringLiteral("Select base server"));
    ShellTreeViewFiles = Named(new QTreeWidget, "ShellTreeViewFiles");
    ShellTreeViewFiles->setHeaderHidden(true);
    ShellTreeViewFiles->setToolTip(QStringLiteral("Double-Click to add to list of start directories"));
    ShellTreeViewFiles->setExpandsOnDoubleClick(false);
    // The servers stay together at the top, however tall the page.
    auto* serverColumn = new QVBoxLayout;
    serverColumn->addWidget(RadioGroupServers);
    serverColumn->addStretch(1);
    top->addLayout(serverColumn, 1);
    top->addWidget(ShellTreeViewFiles, 2);
    page->addLayout(top, 3);
    CheckListBoxPaths = CreateSelectionList(page, LabelDirSelected, "LabelDirSelected",
                                            "#Start Paths Selected: 0", "CheckListBoxPaths",
                                            "Double-click to remove from list of start directories (to "
                                            "temporarily ignore item, uncheck checkbox)");
    // A plain click counts as a change of the path list too.
    connect(CheckListBoxPaths, &QListWidget::itemClicked, this,
            [this] { CheckListBoxClick(CheckListBoxPaths, -1); });

    connect(RadioGroupServers, &TRadioGroup::itemIndexChanged, this, [this] { RadioGroupServersClick(); });
    connect(ShellTreeViewFiles, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* item) { ShellTreeViewFilesExpand(item); });
    connect(ShellTreeViewFiles, &QTreeWidget::itemClicked, this, [this] { ShellTreeViewFilesClick(); });
    connect(ShellTreeViewFiles, &QTreeWidget::itemDoubleClicked, this,
            [this] { ShellTreeViewFilesDblClick(); });
    return TabSheetSelectPath;
}

QWidget* TMainForm::CreateActionPage() {
    TabSheetAction = Named(new QWidget, "TabSheetAction");
    auto* page = new QVBoxLayout(TabSheetAction);
    PanelSettingsResult = Named(new QWidget, "PanelSettingsResult");
    auto* row = new QHBoxLayout(PanelSettingsResult);
    row->setContentsMargins(0, 0, 0, 0);
    BitBtnScan = Named(new QPushButton(QStringLiteral("&Scan for Effective Trustees")), "BitBtnScan");
    BitBtnScan->setEnabled(false);
    BitBtnStop = Named(new QPushButton(QStringLiteral("Stop")), "BitBtnStop");
    BitBtnStop->setToolTip(QStringLiteral("End the scan after the current item (Esc)"));
    BitBtnStop->setEnabled(false);
    CheckBoxDebug = Named(new QCheckBox(ActionSettingsShowDetails->text()), "CheckBoxDebug");
    CheckBoxDebug->setToolTip(ActionSettingsShowDetails->toolTip());
    row->addWidget(BitBtnScan);
    row->addWidget(BitBtnStop);
    row->addSpacing(16);
    row->addWidget(CheckBoxDebug);
    row->addStretch(1);
    page->addWidget(PanelSettingsResult);
    MemoDebug = ResultMemo("MemoDebug");
    MemoStandard = ResultMemo("MemoStandard");
    MemoDebug->setVisible(false);
    page->addWidget(MemoDebug, 1);
    page->addWidget(MemoStandard, 1);

    connect(BitBtnScan, &QPushButton::clicked, this, [this] { BitBtnScanClick(); });
    connect(BitBtnStop, &QPushButton::clicked, this, [this] { BitBtnStopClick(); });
    // The check box is bound to the action: either one changed changes the other.
    connect(CheckBoxDebug, &QCheckBox::toggled, this, [this](bool checked) {
        ActionSettingsShowDetails->setChecked(checked);
        MenuSettingsShowDetails->setChecked(checked);
        CheckBoxDebugClick();
    });
    connect(ActionSettingsShowDetails, &QAction::toggled, CheckBoxDebug, &QCheckBox::setChecked);
    for (QPlainTextEdit* memo : {MemoDebug, MemoStandard})
        connect(memo, &QWidget::customContextMenuRequested, this,
                [this, memo](const QPoint& at) { PopupMenuS->popup(memo->mapToGlobal(at)); });
    return TabSheetAction;
}

QWidget* TMainForm::CreateDebugPage() {
    TabSheetDebug = Named(new QWidget, "TabSheetDebug");
    auto* page = new QVBoxLayout(TabSheetDebug);
    ListBoxLog = Named(new QListWidget, "ListBoxLog");
    ListBoxLog->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListBoxLog, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenuS->popup(ListBoxLog->mapToGlobal(at)); });
    page->addWidget(ListBoxLog);
    return TabSheetDebug;
}

// ---------------------------------------------------------------------------------------------
// Start-up, showing, closing

void TMainForm::FormCreate() {
    TStartupState& startup = state_.Startup;
    MapEdition(startup);
    state_.SelectionChanged = false;
    PageControl1->setCurrentWidget(TabSheetInfo);
    startup.UserSettings = OpenIniFile(true);
    startup.ProgramSettings = OpenIniFile(false);
    state_.ResultCache = std::make_unique<TCache>();
    TStringList info;
    LoadProgramInfo(info);
    QStringList lines;
    for (const auto& line : info.Items())
        lines << Q(line.Text);
    Memo1->setPlainText(lines.join(QLatin1Char('\n')));
    state_.StatusBar->SetPanelText(0, MakerAddress);
    ActionSaveAsExecute();
    if (startup.AttrColumnsEnabled) state_.AttrConfig = ReadAttrConfig(*startup.ProgramSettings);
    startup.DebugMode = HasSwitch("DEBUG", 5);

    PanelSettingsWdr->setVisible(startup.EditionCode == 0);
    if (startup.EditionCode == 0) CheckBoxSettingsScanSubDirs->setChecked(true);
    if (startup.EdirMode) {
        MenuSettings->menuAction()->setVisible(false);
        MenuSettingsResolveContainers->setVisible(false);
        MenuSettingsResolveContainers->setEnabled(false);
    }
    PageControl1->setTabVisible(PageControl1->indexOf(TabSheetDebug), startup.DebugMode);
    PageControl1->setTabVisible(PageControl1->indexOf(TabSheetSelectPath), startup.FileMode);
    PageControl1->setTabVisible(PageControl1->indexOf(TabSheetSelectEdir), startup.EdirMode);

    TCustomIniFile& settings = *startup.UserSettings;
    RestoreActions(settings, "Settings", ActionList);
    RestoreControls(&settings, "Settings", PanelSettingsConfig);
    RestoreControls(&settings, "Settings", PanelSettingsResult);

    if (startup.FileMode) {
        RestoreCheckList(settings, "CheckListBoxPaths", state_.CheckListBoxPaths);
        ShowCheckList(CheckListBoxPaths, state_.CheckListBoxPaths);
        state_.ServerConnection = 999;
    }
    const NWCCODE code = InitNetWare();
    if (code != 0) {
        U_ShowError(code, "InitNetWare");
    } else {
        if (startup.FileMode) FillServerList();
        if (startup.EdirMode) FillTreeList();
    }
    LabelSelectedUpd();
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TMainForm::FormShow() {
    TCustomIniFile& settings = *state_.Startup.UserSettings;
    RestoreBounds(settings, "Settings", this);
    MenuSettingsResolveContainers->setChecked(
        IniReadBoolCached(settings, "Settings", "MenuSettingsResolveContainers", false));
    if (FormAbout) FormAbout->Fill(state_.Startup.AppIdentity, MakerAddress);
}

void TMainForm::closeEvent(QCloseEvent* event) {
    // The running scan holds the lists, contexts and cache: the window goes when it has ended.
    if (state_.Scanning()) {
        closePending_ = true;
        event->ignore();
        return;
    }
    if (!closed_) {
        closed_ = true;
        FormClose();
    }
    event->accept();
}

void TMainForm::FormClose() {
    try {
        TCustomIniFile& settings = *state_.Startup.UserSettings;
        if (state_.SelectionChanged) {
            if (state_.Startup.FileMode)
                SaveCheckList(settings, "CheckListBoxPaths", state_.CheckListBoxPaths);
            if (state_.Startup.EdirMode)
                SaveCheckList(settings, Format("%s - %s", "CheckListBoxEdir", state_.CurrentTree.c_str()),
                              state_.CheckListBoxEdir);
        }
        SaveControls(settings, "Settings", PanelSettingsResult);
        SaveControls(settings, "Settings", PanelSettingsConfig);
        IniWriteBool(settings, "Settings", "MenuSettingsResolveContainers",
                     MenuSettingsResolveContainers->isChecked());
        SaveBounds(settings, "Settings", this);
    } catch (...) {
        // Saving settings never keeps the window open.
    }
    state_.ResultCache.reset();
}

void TMainForm::PageControl1Change() {
    LabelSelectedUpd();
}

void TMainForm::ActionSettingsShowDetailsExecute(bool fromMenu) {
    if (fromMenu) CheckBoxDebug->setChecked(MenuSettingsShowDetails->isChecked());
    CheckBoxDebugClick();
}

void TMainForm::CheckBoxDebugClick() {
    if (state_.MemoDebug.Count() == 0 && CheckBoxDebug->isChecked()) {
        CheckBoxDebug->setChecked(false); // runs this handler again, unchecked
        return;
    }
    const bool details = CheckBoxDebug->isChecked();
    MenuSettingsShowDetails->setChecked(details);
    MemoDebug->setVisible(details);
    MemoStandard->setVisible(!details);
}

QPlainTextEdit* TMainForm::GetMemo() {
    return CheckBoxDebug->isChecked() ? MemoDebug : MemoStandard;
}

void TMainForm::MenuExitClick() {
    close();
}

void TMainForm::StatusBar1Click() {
    OpenDocument(MakerAddress);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        (watched == StatusBar1 || watched == StatusPanel0 || watched == StatusPanel1)) {
        StatusBar1Click();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::ActionAboutExecute() {
    if (FormAbout) FormAbout->exec();
}

// ---------------------------------------------------------------------------------------------
// The scan

void TMainForm::ReadScanSettings() {
    TScanSettings& s = state_.Settings;
    s.ResolveContainers = CheckBoxSettingsResolveContainers->isChecked();
    s.ScanSubDirs = CheckBoxSettingsScanSubDirs->isChecked();
    s.ShowOnlyUsers = MenuSettingsShowOnlyUsers->isChecked();
    s.FilterExcl = S(EditFilterExcl->text());
    s.FilterIncl = S(EditFilterIncl->text());
}

void TMainForm::SetScanning(bool scanning) {
    // Nothing that the running scan reads may change under it.
    for (QWidget* w : std::initializer_list<QWidget*>{ComboBoxTrees, ListBoxEdirContainers,
                                                      ListBoxEdirObjects, CheckListBoxEdir, RadioGroupServers,
                                                      CheckListBoxPaths, PanelSettingsConfig})
        w->setEnabled(!scanning);
    ShellTreeViewFiles->setEnabled(!scanning && state_.FolderTreeEnabled);
    BitBtnScan->setEnabled(!scanning && state_.ScanButtonEnabled && state_.SelectedCount() > 0);
    BitBtnStop->setEnabled(scanning);
}

void TMainForm::BitBtnScanClick() {
    if (state_.Scanning()) return;
    ReadScanSettings();
    BitBtnScan->setEnabled(false);
    SetScanning(true);
    shownDebug_ = shownStandard_ = 0;
    MemoDebug->clear();
    MemoStandard->clear();
    state_.ItemFinished = [this] { ShowResults(); };
    state_.DoTheJob();
    state_.ItemFinished = nullptr;
    ShowResults();
    // The finished report is read from its header on.
    for (QPlainTextEdit* memo : {MemoDebug, MemoStandard})
        memo->moveCursor(QTextCursor::Start);
    CheckBoxDebug->setVisible(state_.CheckBoxDebugVisible);
    SetScanning(false);
    BitBtnScan->setEnabled(state_.ScanButtonEnabled);
    state_.StatusBar->SetPanelText(1, "");
    if (closePending_) {
        closePending_ = false;
        close();
    }
}

void TMainForm::BitBtnStopClick() {
    state_.RequestStop();
}

void TMainForm::ShowMemo(QPlainTextEdit* memo, const TStringList& lines, int& shown) {
    if (lines.Count() < shown) {
        memo->clear();
        shown = 0;
    }
    if (lines.Count() == shown) return;
    QStringList added;
    for (int i = shown; i < lines.Count(); ++i)
        added << Q(lines.Strings(i));
    if (shown == 0)
        memo->setPlainText(added.join(QLatin1Char('\n')));
    else
        memo->appendPlainText(added.join(QLatin1Char('\n')));
    shown = lines.Count();
}

void TMainForm::ShowResults() {
    ShowMemo(MemoDebug, state_.MemoDebug, shownDebug_);
    ShowMemo(MemoStandard, state_.MemoStandard, shownStandard_);
    if (state_.ListBoxLog.Count() < shownLog_) {
        ListBoxLog->clear();
        shownLog_ = 0;
    }
    for (; shownLog_ < state_.ListBoxLog.Count(); ++shownLog_)
        ListBoxLog->addItem(Q(state_.ListBoxLog.Strings(shownLog_)));
}

// ---------------------------------------------------------------------------------------------
// The selection pages

void TMainForm::LabelSelectedUpd() {
    const bool fileMode = state_.Startup.FileMode;
    const std::string text =
        Format("%s: %d", fileMode ? "#Start Paths Selected" : "#Objects Selected", state_.SelectedCount());
    (fileMode ? LabelDirSelected : LabelObjSelected)->setText(Q(text));
    state_.StatusBar->SetPanelText(0, text);
    BitBtnScan->setEnabled(state_.SelectedCount() > 0 && !state_.Scanning());
}

void TMainForm::ShowCheckList(TCheckListBox* list, const TCheckList& model, int current) {
    const QSignalBlocker quiet(list);
    list->clear();
    for (int i = 0; i < model.Items.Count(); ++i)
        list->AddItem(Q(model.Items.Strings(i)), model.Checked(i));
    if (current >= 0) list->setCurrentRow(current);
}

void TMainForm::FillTreeList() {
    state_.FillTreeList();
    {
        const QSignalBlocker quiet(ComboBoxTrees);
        ComboBoxTrees->clear();
        for (const auto& tree : state_.Trees.Items())
            ComboBoxTrees->addItem(Q(tree.Text));
        ComboBoxTrees->setCurrentText(Q(state_.CurrentTree));
    }
    ShowTreeState();
}

void TMainForm::ComboBoxTreesChange() {
    if (state_.Scanning()) {
        // The scan keeps its tree: the box shows it again.
        const QSignalBlocker quiet(ComboBoxTrees);
        ComboBoxTrees->setCurrentText(Q(state_.CurrentTree));
        return;
    }
    const std::string tree = S(ComboBoxTrees->currentText());
    if (TextEquals(tree, state_.CurrentTree)) return;
    state_.ChangeTree(tree);
    ShowTreeState();
}

// The selection page after a tree change: who is logged in, the container and the tree's list.
void TMainForm::ShowTreeState() {
    EditMyName->setText(Q(state_.MyName));
    GetContainerInfo();
    ShowCheckList(CheckListBoxEdir, state_.CheckListBoxEdir);
    LabelSelectedUpd();
}

void TMainForm::GetContainerInfo() {
    EditCurrentContainer->setText(Q(state_.CurrentNameContext));
    ListBoxEdirContainers->clear();
    ListBoxEdirObjects->clear();
    for (const auto& entry : state_.ListBoxEdirContainers.Items())
        ListBoxEdirContainers->addItem(Q(entry.Text));
    for (const auto& entry : state_.ListBoxEdirObjects.Items()) {
        auto* item = new QListWidgetItem(Q(entry.Text));
        item->setData(Qt::UserRole, entry.Object);
        ListBoxEdirObjects->addItem(item);
    }
}

void TMainForm::ListBoxEdirContainersDblClick() {
    QListWidgetItem* item = ListBoxEdirContainers->currentItem();
    if (!item || state_.Scanning()) return;
    state_.StepIntoContainer(S(item->text()));
    GetContainerInfo();
}

void TMainForm::ListBoxEdirObjectsDblClick() {
    QListWidgetItem* item = ListBoxEdirObjects->currentItem();
    if (!item || state_.Scanning()) return;
    const std::string name = state_.ObjectEntryName(S(item->text()), item->data(Qt::UserRole).toUInt());
    const int index = state_.AddSelection(name);
    ShowCheckList(CheckListBoxEdir, state_.CheckListBoxEdir, index);
    LabelSelectedUpd();
}

void TMainForm::FillServerList() {
    state_.FillServerList();
    QStringList servers;
    for (const auto& server : state_.Servers.Items())
        servers << Q(server.Text);
    {
        const QSignalBlocker quiet(RadioGroupServers);
        RadioGroupServers->SetItems(servers);
        RadioGroupServers->SetItemIndex(state_.SelectedServer);
    }
    if (state_.SelectedServer >= 0) ShellTreeViewSetRoot("\\\\" + state_.ServerName + "\\");
}

void TMainForm::RadioGroupServersClick() {
    const int index = RadioGroupServers->ItemIndex();
    if (index < 0 || state_.Scanning()) return;
    state_.SelectServer(index);
    state_.FolderVolume.clear();
    ShellTreeViewSetRoot("\\\\" + state_.ServerName + "\\");
}

void TMainForm::ShellTreeViewSetRoot(const std::string& root) {
    const TCursor previous = BeginWait();
    ShellTreeViewFiles->setEnabled(state_.FolderTreeEnabled);
    if (state_.FolderTreeEnabled) {
        ShellTreeViewFiles->clear();
        QTreeWidgetItem* top = FolderItem(root, Q(root));
        ShellTreeViewFiles->addTopLevelItem(top);
        top->setExpanded(true);
    }
    EndWait(previous);
}

void TMainForm::ShellTreeViewFilesExpand(QTreeWidgetItem* item) {
    if (!item || item->childCount() > 0) return;
    TStringList folders;
    state_.ListFolders(FolderOf(item), folders);
    for (const auto& folder : folders.Items()) {
        const std::string& path = folder.Text;
        const std::size_t last = RemoveTrailingSlash(path).find_last_of('\\');
        const std::string caption =
            last == std::string::npos ? path : RemoveTrailingSlash(path).substr(last + 1);
        item->addChild(FolderItem(path, Q(caption)));
    }
    if (folders.Count() == 0) item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
}

void TMainForm::ShellTreeViewFilesClick() {
    QTreeWidgetItem* item = ShellTreeViewFiles->currentItem();
    if (!item || !ShellTreeViewFiles->isEnabled()) return;
    state_.SelectFolder(FolderOf(item));
    ShowResults();
}

void TMainForm::ShellTreeViewFilesDblClick() {
    QTreeWidgetItem* item = ShellTreeViewFiles->currentItem();
    if (!item || !ShellTreeViewFiles->isEnabled() || state_.Scanning()) return;
    const int index = state_.AddSelection(FolderOf(item));
    ShowCheckList(CheckListBoxPaths, state_.CheckListBoxPaths, index);
    LabelSelectedUpd();
}

void TMainForm::CheckListBoxClick(TCheckListBox* list, int row) {
    TCheckList& model = list == CheckListBoxPaths ? state_.CheckListBoxPaths : state_.CheckListBoxEdir;
    if (row >= 0 && row < model.Items.Count()) model.SetChecked(row, list->Checked(row));
    state_.SelectionChanged = true;
    LabelSelectedUpd();
}

void TMainForm::CheckListBoxDblClick(TCheckListBox* list) {
    const int row = list->currentRow();
    if (row < 0 || state_.Scanning()) return;
    state_.RemoveSelection(row);
    ShowCheckList(list, state_.ActiveList(), std::min(row, state_.ActiveList().Items.Count() - 1));
    LabelSelectedUpd();
}

// ---------------------------------------------------------------------------------------------
// Saving

void TMainForm::ActionSaveAsExecute() {
    const TStringList& lines = GetMemo() == MemoDebug ? state_.MemoDebug : state_.MemoStandard;
    const bool any = lines.Count() > 0;
    for (QAction* a : {ActionSaveAsClipboard, ActionSaveAsTxt, ActionSaveAsExcel})
        a->setEnabled(any);
}

void TMainForm::ActionSaveAsTxtClick() {
    QPlainTextEdit* memo = GetMemo();
    const bool details = memo->objectName().contains(QStringLiteral("Debug"));
    SaveDialog->selectFile(details ? QStringLiteral("Trustees_Details.txt") : QStringLiteral("Trustees.txt"));
    if (SaveDialog->exec() != QDialog::Accepted || SaveDialog->selectedFiles().isEmpty()) return;
    const std::string path = S(SaveDialog->selectedFiles().first());
    std::string error;
    if (!SaveLinesToFile(details ? state_.MemoDebug : state_.MemoStandard, "TXT", path, error) &&
        !error.empty())
        UiHost().ShowDialog(dkError, error);
}

void TMainForm::ActionSaveToClipboardClick() {
    ExportLines(GetMemo() == MemoDebug ? state_.MemoDebug : state_.MemoStandard, "CLIPBOARD", "");
}

void TMainForm::ActionSaveToExcelClick() {
    ExportLines(GetMemo() == MemoDebug ? state_.MemoDebug : state_.MemoStandard, "EXCEL", "");
}

} // namespace era
