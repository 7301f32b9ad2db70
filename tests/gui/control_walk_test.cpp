#include "gui/control_walk.h"
#include "gui/controls.h"
#include "util/settings.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QSplitter>
#include <QTextEdit>
#include <QVBoxLayout>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

// Readable failure messages for Qt's strings.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace era {
namespace {

namespace fs = std::filesystem;

class ControlWalkTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("era-walk-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        path_ = (dir_ / "era-gui.ini").string();
        store_ = std::make_unique<TIniFile>(path_);
        IniSectionCache().Clear();
        form_ = std::make_unique<QWidget>();
        form_->setObjectName("FormMain");
        panel_ = new QWidget(form_.get());
        panel_->setObjectName("PanelSettings");
    }
    void TearDown() override {
        form_.reset();
        IniSectionCache().Clear();
        fs::remove_all(dir_);
    }

    void WriteFile(const std::string& text) {
        std::ofstream(path_, std::ios::binary) << text;
        store_ = std::make_unique<TIniFile>(path_);
        IniSectionCache().Clear();
    }
    std::string FileText() const {
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // What tells a rewritten file from an untouched one: each write replaces the file.
    std::pair<ino_t, long long> FileStamp() const {
        struct stat st {};
        if (::stat(path_.c_str(), &st) != 0) return {0, 0};
        return {st.st_ino, static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec};
    }

    fs::path dir_;
    std::string path_;
    std::unique_ptr<TCustomIniFile> store_;
    std::unique_ptr<QWidget> form_;
    QWidget* panel_ = nullptr; // owned by form_
};

template <typename T>
T* Named(QWidget* parent, const char* name) {
    auto* widget = new T(parent);
    widget->setObjectName(name);
    return widget;
}

// ---------------------------------------------------------------------------------------------
// Kinds

// A widget class of our own derived from a kind's class, as a window's widgets often are.
class TLabeledEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;
};

struct TKindCase {
    const char* what;
    std::function<QWidget*(QWidget*)> make;
    TControlKind kind;
};

TEST_F(ControlWalkTest, EachWidgetClassHasItsKind) {
    const TKindCase cases[] = {
        {"line edit", [](QWidget* p) { return new QLineEdit(p); }, TControlKind::Edit},
        {"line edit subclass", [](QWidget* p) { return new TLabeledEdit(p); }, TControlKind::Edit},
        {"editable combo",
         [](QWidget* p) {
             auto* c = new QComboBox(p);
             c->setEditable(true);
             return c;
         },
         TControlKind::HistoryCombo},
        {"drop-down list combo", [](QWidget* p) { return new QComboBox(p); }, TControlKind::ListCombo},
        {"spin box", [](QWidget* p) { return new QSpinBox(p); }, TControlKind::SpinEdit},
        {"double spin box", [](QWidget* p) { return new QDoubleSpinBox(p); }, TControlKind::None},
        {"radio group", [](QWidget* p) { return new TRadioGroup(p); }, TControlKind::RadioGroup},
        {"plain group box", [](QWidget* p) { return new QGroupBox(p); }, TControlKind::None},
        {"slider", [](QWidget* p) { return new QSlider(p); }, TControlKind::TrackBar},
        {"scroll bar", [](QWidget* p) { return new QScrollBar(p); }, TControlKind::None},
        {"check box", [](QWidget* p) { return new QCheckBox(p); }, TControlKind::CheckBox},
        {"radio button", [](QWidget* p) { return new QRadioButton(p); }, TControlKind::None},
        {"check list box", [](QWidget* p) { return new TCheckListBox(p); }, TControlKind::CheckListBox},
        {"plain list", [](QWidget* p) { return new QListWidget(p); }, TControlKind::None},
        {"memo", [](QWidget* p) { return new QPlainTextEdit(p); }, TControlKind::Memo},
        {"rich text edit", [](QWidget* p) { return new QTextEdit(p); }, TControlKind::None},
        {"value list editor", [](QWidget* p) { return new TValueListEditor(p); },
         TControlKind::ValueListEditor},
        {"string grid", [](QWidget* p) { return new TStringGrid(p); }, TControlKind::StringGrid},
        {"plain table", [](QWidget* p) { return new QTableWidget(p); }, TControlKind::None},
        {"panel", [](QWidget* p) { return new QWidget(p); }, TControlKind::None},
    };
    for (const TKindCase& c : cases) {
        std::unique_ptr<QWidget> owner(new QWidget);
        const QWidget* widget = c.make(owner.get());
        EXPECT_EQ(ControlKindOf(widget), c.kind) << c.what;
    }
}

// ---------------------------------------------------------------------------------------------
// Walk order, sections and keys

// The panel of the naming tests: an edit, a check box inside an unnamed group, a check list box,
// an editable combo box (whose own line edit carries a name) and a spin box.
void FillPanel(QWidget* panel) {
    Named<QLineEdit>(panel, "EditFilter")->setText("cn=*");
    auto* group = new QGroupBox(panel);
    Named<QCheckBox>(group, "CheckBoxDebug")->setChecked(true);
    auto* list = Named<TCheckListBox>(panel, "CheckListBoxPaths");
    list->AddItem("SYS:", true);
    list->AddItem("DATA:");
    auto* combo = Named<QComboBox>(panel, "ComboBoxTrees");
    combo->setEditable(true);
    combo->lineEdit()->setObjectName("EditInsideCombo");
    combo->addItem("OTHER");
    combo->setEditText("ACME");
    Named<QSpinBox>(panel, "SpinEditLevel")->setValue(3);
}

TEST_F(ControlWalkTest, PanelKeysFollowTheWalkOrder) {
    FillPanel(panel_);
    SaveControls(*store_, "Settings", panel_);
    // The panel's own section collects the scalar states in child order; the check list box has
    // a section of its own; the history's section does not carry the panel's section; the combo
    // box's inner line edit is part of the combo box, not a control of the panel.
    EXPECT_EQ(FileText(), "[Settings]\n"
                          "EditFilter=cn=*\n"
                          "CheckBoxDebug=1\n"
                          "SpinEditLevel=3\n"
                          "[Settings CheckListBoxPaths]\n"
                          "SYS:=1\n"
                          "DATA:=0\n"
                          "[History ComboBoxTrees]\n"
                          "Current=\"ACME\"\n"
                          "Count=2\n"
                          "0=\"ACME\"\n"
                          "1=\"OTHER\"\n");
}

TEST_F(ControlWalkTest, FormSectionCarriesTheFormNameAndBoundsComeFirst) {
    FillPanel(panel_);
    form_->resize(320, 240);
    form_->move(11, 22);
    // A menu parented to the form is a window of its own and is not walked.
    Named<QMenu>(form_.get(), "PopupMenuS");
    SaveControls(*store_, "Settings", form_.get());
    EXPECT_EQ(store_->ReadSections(),
              (std::vector<std::string>{"Settings FormMain", "Settings FormMain CheckListBoxPaths",
                                        "History ComboBoxTrees"}));
    EXPECT_EQ(store_->ReadSection("Settings FormMain"),
              (std::vector<std::string>{"FormMain.Top", "FormMain.Left", "FormMain.Width", "FormMain.Height",
                                        "EditFilter", "CheckBoxDebug", "SpinEditLevel"}));
    EXPECT_EQ(store_->ReadInteger("Settings FormMain", "FormMain.Width", 0), 320);
    EXPECT_EQ(store_->ReadInteger("Settings FormMain", "FormMain.Top", 0), 22);
}

TEST_F(ControlWalkTest, UnnamedControlsAndQtPartsLeaveNoKey) {
    new QLineEdit(panel_);                                         // no name
    Named<QLineEdit>(panel_, "qt_spinbox_lineedit")->setText("x"); // a part Qt names itself
    SaveControls(*store_, "Settings", panel_);
    EXPECT_EQ(FileText(), "");
}

// ---------------------------------------------------------------------------------------------
// Round trips per kind

struct TRoundTrip {
    const char* kind;
    // Makes the control, named "Control", in its saved state.
    std::function<QWidget*(QWidget*)> make;
    // Changes the state away from the saved one.
    std::function<void(QWidget*)> change;
    // The state, as text.
    std::function<QString(QWidget*)> state;
};

QString ComboState(QWidget* w) {
    auto* c = static_cast<QComboBox*>(w);
    QStringList items;
    for (int i = 0; i < c->count(); ++i)
        items << c->itemText(i);
    return c->currentText() + "|" + items.join(",");
}

QString CheckListState(QWidget* w) {
    auto* box = static_cast<TCheckListBox*>(w);
    QStringList items;
    for (int i = 0; i < box->Count(); ++i)
        items << box->item(i)->text() + (box->Checked(i) ? "+" : "-");
    return items.join(",");
}

QString GridState(QWidget* w) {
    auto* g = static_cast<TStringGrid*>(w);
    QString s = QString("%1x%2 fixed %3/%4:")
                    .arg(g->columnCount())
                    .arg(g->rowCount())
                    .arg(g->FixedCols())
                    .arg(g->FixedRows());
    for (int c = 0; c < g->columnCount(); ++c)
        for (int r = 0; r < g->rowCount(); ++r)
            s += g->Cell(c, r) + ";";
    return s;
}

const TRoundTrip RoundTrips[] = {
    {"edit",
     [](QWidget* p) {
         auto* e = Named<QLineEdit>(p, "Control");
         e->setText("(objectClass=User)");
         return e;
     },
     [](QWidget* w) { static_cast<QLineEdit*>(w)->setText("changed"); },
     [](QWidget* w) { return static_cast<QLineEdit*>(w)->text(); }},
    {"drop-down list combo",
     [](QWidget* p) {
         auto* c = Named<QComboBox>(p, "Control");
         c->addItems({"one", "two", "three"});
         c->setCurrentIndex(2);
         return c;
     },
     [](QWidget* w) { static_cast<QComboBox*>(w)->setCurrentIndex(0); }, ComboState},
    {"editable combo with history",
     [](QWidget* p) {
         auto* c = Named<QComboBox>(p, "Control");
         c->setEditable(true);
         c->addItems({"ACME", "OTHER"});
         c->setEditText("NEW");
         return c;
     },
     [](QWidget* w) {
         auto* c = static_cast<QComboBox*>(w);
         c->clear();
         c->setEditText("");
     },
     ComboState},
    {"spin box",
     [](QWidget* p) {
         auto* s = Named<QSpinBox>(p, "Control");
         s->setValue(42);
         return s;
     },
     [](QWidget* w) { static_cast<QSpinBox*>(w)->setValue(7); },
     [](QWidget* w) { return QString::number(static_cast<QSpinBox*>(w)->value()); }},
    {"radio group",
     [](QWidget* p) {
         auto* g = Named<TRadioGroup>(p, "Control");
         g->SetItems({"A", "B", "C"});
         g->SetItemIndex(2);
         return g;
     },
     [](QWidget* w) { static_cast<TRadioGroup*>(w)->SetItemIndex(0); },
     [](QWidget* w) { return QString::number(static_cast<TRadioGroup*>(w)->ItemIndex()); }},
    {"radio group without selection",
     [](QWidget* p) {
         auto* g = Named<TRadioGroup>(p, "Control");
         g->SetItems({"A", "B"});
         return g;
     },
     [](QWidget* w) { static_cast<TRadioGroup*>(w)->SetItemIndex(1); },
     [](QWidget* w) { return QString::number(static_cast<TRadioGroup*>(w)->ItemIndex()); }},
    {"slider",
     [](QWidget* p) {
         auto* s = Named<QSlider>(p, "Control");
         s->setValue(60);
         return s;
     },
     [](QWidget* w) { static_cast<QSlider*>(w)->setValue(10); },
     [](QWidget* w) { return QString::number(static_cast<QSlider*>(w)->value()); }},
    {"check box",
     [](QWidget* p) {
         auto* b = Named<QCheckBox>(p, "Control");
         b->setChecked(true);
         return b;
     },
     [](QWidget* w) { static_cast<QCheckBox*>(w)->setChecked(false); },
     [](QWidget* w) { return QString::number(static_cast<QCheckBox*>(w)->isChecked()); }},
    {"check list box",
     [](QWidget* p) {
         auto* b = Named<TCheckListBox>(p, "Control");
         b->AddItem("Admin.ACME", true);
         b->AddItem("Sales.ACME");
         b->AddItem("IT.ACME", true);
         return b;
     },
     [](QWidget* w) {
         auto* b = static_cast<TCheckListBox*>(w);
         b->clear();
         b->AddItem("other", true);
     },
     CheckListState},
    {"memo",
     [](QWidget* p) {
         auto* m = Named<QPlainTextEdit>(p, "Control");
         m->setPlainText("first\nsecond");
         return m;
     },
     [](QWidget* w) { static_cast<QPlainTextEdit*>(w)->setPlainText("other"); },
     [](QWidget* w) { return static_cast<QPlainTextEdit*>(w)->toPlainText(); }},
    {"value list editor with blank rows at the end",
     [](QWidget* p) {
         auto* e = Named<TValueListEditor>(p, "Control");
         e->SetRows({"Server=ALPHA", "Volume=SYS", "", ""});
         return e;
     },
     [](QWidget* w) { static_cast<TValueListEditor*>(w)->SetRows({"x=y"}); },
     [](QWidget* w) { return static_cast<TValueListEditor*>(w)->Rows().join("|"); }},
    {"string grid",
     [](QWidget* p) {
         auto* g = Named<TStringGrid>(p, "Control");
         g->SetRowCount(3);
         g->SetColCount(2);
         g->SetFixedRows(1);
         g->SetFixedCols(1);
         g->SetCell(0, 0, "head");
         g->SetCell(1, 2, "body");
         return g;
     },
     [](QWidget* w) {
         auto* g = static_cast<TStringGrid*>(w);
         g->SetRowCount(1);
         g->SetColCount(1);
         g->SetCell(0, 0, "");
         g->SetRowCount(5);
         g->SetColCount(4);
     },
     GridState},
};

TEST_F(ControlWalkTest, EachKindComesBackAsSaved) {
    for (const TRoundTrip& trip : RoundTrips) {
        WriteFile("");
        auto panel = std::make_unique<QWidget>(form_.get());
        QWidget* control = trip.make(panel.get());
        SaveControls(*store_, "Settings", panel.get());
        // Saving may change the control too: a history takes in its current text.
        const QString saved = trip.state(control);
        trip.change(control);
        ASSERT_NE(trip.state(control), saved) << trip.kind << ": the change changes nothing";
        RestoreControls(store_.get(), "Settings", panel.get());
        EXPECT_EQ(trip.state(control), saved) << trip.kind;
    }
}

TEST_F(ControlWalkTest, WithoutStoreRestoreDoesNothing) {
    auto* edit = Named<QLineEdit>(panel_, "EditFilter");
    edit->setText("kept");
    WriteFile("[Settings]\nEditFilter=stored\n");
    RestoreControls(nullptr, "Settings", panel_);
    EXPECT_EQ(edit->text(), "kept");
}

// ---------------------------------------------------------------------------------------------
// Rules of single kinds

TEST_F(ControlWalkTest, MemoKeepsNonEmptyLinesOnly) {
    auto* memo = Named<QPlainTextEdit>(panel_, "MemoNotes");
    memo->setPlainText("one\n\nthree");
    SaveControls(*store_, "Settings", panel_);
    EXPECT_EQ(store_->ReadSection("Settings MemoNotes"), (std::vector<std::string>{"0", "2"}));
    RestoreControls(store_.get(), "Settings", panel_);
    EXPECT_EQ(memo->toPlainText(), "one\nthree");
}

TEST_F(ControlWalkTest, ReadOnlyMemoIsNotSaved) {
    auto* memo = Named<QPlainTextEdit>(panel_, "MemoStandard");
    memo->setPlainText("report");
    memo->setReadOnly(true);
    SaveControls(*store_, "Settings", panel_);
    EXPECT_FALSE(store_->SectionExists("Settings MemoStandard"));
}

TEST_F(ControlWalkTest, CheckListWithoutSectionIsEmptied) {
    auto* list = Named<TCheckListBox>(panel_, "CheckListBoxEdir");
    list->AddItem("CN=Admin.O=ACME", true);
    WriteFile("[Settings]\nOther=1\n");
    RestoreControls(store_.get(), "Settings", panel_);
    EXPECT_EQ(list->Count(), 0);
}

TEST_F(ControlWalkTest, ListComboFindsItsTextIgnoringCaseOrSelectsNone) {
    auto* combo = Named<QComboBox>(panel_, "ComboBoxMode");
    combo->addItems({"Summary", "Details"});
    combo->setCurrentIndex(0);
    WriteFile("[Settings]\nComboBoxMode=DETAILS\n");
    RestoreControls(store_.get(), "Settings", panel_);
    EXPECT_EQ(combo->currentIndex(), 1);
    WriteFile("[Settings]\nComboBoxMode=Gone\n");
    RestoreControls(store_.get(), "Settings", panel_);
    EXPECT_EQ(combo->currentIndex(), -1);
}

TEST_F(ControlWalkTest, HistoryComboTakesItsKeyAsDefaultText) {
    auto* combo = Named<QComboBox>(panel_, "ComboBoxFilter");
    combo->setEditable(true);
    // No history section: the text comes from the combo box's own key, and joins the items.
    WriteFile("[Settings]\nComboBoxFilter=Surname=A*\n");
    RestoreControls(store_.get(), "Settings", panel_);
    EXPECT_EQ(combo->currentText(), "Surname=A*");
    ASSERT_EQ(combo->count(), 1);
    EXPECT_EQ(combo->itemText(0), "Surname=A*");
}

TEST_F(ControlWalkTest, CheckListBoxTakesTheSelectionListForm) {
    TCheckListBox box;
    box.AddItem("Admin.ACME", true);
    box.AddItem("Sales.ACME");
    box.AddItem("IT.ACME", true);
    SaveCheckList(*store_, "CheckListBoxPaths", box);
    EXPECT_EQ(FileText(), "[CheckListBoxPaths]\n0=Admin.ACME\n1=Sales.ACME\n2=IT.ACME\n"
                          "[CheckListBoxPaths Checked]\nAdmin.ACME=1\nIT.ACME=1\n");
    box.clear();
    box.AddItem("other", true);
    RestoreCheckList(*store_, "CheckListBoxPaths", box);
    EXPECT_EQ(CheckListState(&box), "Admin.ACME+,Sales.ACME-,IT.ACME+");
}

// ---------------------------------------------------------------------------------------------
// Nothing written when unchanged

TEST_F(ControlWalkTest, SavingUnchangedStateLeavesTheFileAlone) {
    Named<QLineEdit>(panel_, "EditFilter")->setText("cn=*");
    Named<QCheckBox>(panel_, "CheckBoxDebug")->setChecked(false);
    Named<QSpinBox>(panel_, "SpinEditLevel")->setValue(0);
    Named<QSlider>(panel_, "TrackBarZoom")->setValue(5);
    Named<TRadioGroup>(panel_, "RadioGroupServers")->SetItems({"A", "B"});
    auto* combo = Named<QComboBox>(panel_, "ComboBoxMode");
    combo->addItems({"Summary", "Details"});
    form_->resize(300, 200);
    SaveControls(*store_, "Settings", form_.get());
    const std::string text = FileText();
    const auto stamp = FileStamp();
    ASSERT_NE(stamp.first, 0u);

    SaveControls(*store_, "Settings", form_.get());
    EXPECT_EQ(FileStamp(), stamp);
    EXPECT_EQ(FileText(), text);

    // A real change does reach the file, so the check above can tell.
    combo->setCurrentIndex(1);
    SaveControls(*store_, "Settings", form_.get());
    EXPECT_NE(FileStamp(), stamp);
}

// ---------------------------------------------------------------------------------------------
// Bounds

TEST_F(ControlWalkTest, SaveBoundsWithoutSectionUsesTheControlName) {
    form_->resize(300, 200);
    form_->move(40, 50);
    SaveBounds(*store_, "", form_.get());
    EXPECT_EQ(FileText(),
              "[FormMain]\nFormMain.Top=50\nFormMain.Left=40\nFormMain.Width=300\nFormMain.Height=200\n");
}

TEST_F(ControlWalkTest, RestoreBoundsAppliesAllButStoredZeros) {
    form_->resize(300, 200);
    form_->move(40, 50);
    WriteFile("[Settings]\nFormMain.Width=410\nFormMain.Height=0\nFormMain.Left=0\nFormMain.Top=70\n");
    RestoreBounds(*store_, "Settings", form_.get());
    EXPECT_EQ(form_->width(), 410);
    EXPECT_EQ(form_->height(), 200);
    EXPECT_EQ(form_->x(), 40);
    EXPECT_EQ(form_->y(), 70);
}

TEST_F(ControlWalkTest, RestoreBoundsSkipsAFormNotPlacedAsDesigned) {
    WriteFile("[Settings]\nFormMain.Width=410\nFormMain.Height=310\nFormMain.Left=15\nFormMain.Top=70\n");
    for (const char* mode : {"center", "system"}) {
        form_->resize(300, 200);
        form_->move(40, 50);
        form_->setProperty("era.position", mode);
        RestoreBounds(*store_, "Settings", form_.get());
        EXPECT_EQ(form_->size(), QSize(300, 200)) << mode;
        EXPECT_EQ(form_->pos(), QPoint(40, 50)) << mode;
    }
    form_->setProperty("era.position", "designed");
    RestoreBounds(*store_, "Settings", form_.get());
    EXPECT_EQ(form_->size(), QSize(410, 310));
    EXPECT_EQ(form_->pos(), QPoint(15, 70));
}

// ---------------------------------------------------------------------------------------------
// Actions

TEST_F(ControlWalkTest, RestoreActionsUnchecksActionsWithoutKey) {
    QList<QAction*> actions;
    for (const char* name : {"ActionShowDetails", "ActionWordWrap", "ActionMissing"}) {
        auto* action = new QAction(form_.get());
        action->setObjectName(name);
        action->setCheckable(true);
        action->setChecked(true);
        actions << action;
    }
    actions << nullptr;
    WriteFile("[Settings]\nActionShowDetails=1\nActionWordWrap=0\n");
    RestoreActions(*store_, "Settings", actions);
    EXPECT_TRUE(actions[0]->isChecked());
    EXPECT_FALSE(actions[1]->isChecked());
    EXPECT_FALSE(actions[2]->isChecked());
}

// ---------------------------------------------------------------------------------------------
// Splitters

struct TSplitterCase {
    Qt::Orientation orientation;
    const char* key;
};

TEST_F(ControlWalkTest, SplitterNeighboursKeepTheirSizeAlongTheSplitter) {
    for (const TSplitterCase& c :
         {TSplitterCase{Qt::Vertical, ".Height"}, TSplitterCase{Qt::Horizontal, ".Width"}}) {
        WriteFile("");
        QWidget window;
        window.setObjectName("FormMain");
        auto* layout = new QVBoxLayout(&window);
        auto* splitter = Named<QSplitter>(&window, "Splitter1");
        splitter->setOrientation(c.orientation);
        layout->addWidget(splitter);
        auto* first = Named<QWidget>(splitter, "PanelFirst");
        auto* second = Named<QWidget>(splitter, "PanelSecond");
        splitter->addWidget(first);
        splitter->addWidget(second);
        window.resize(400, 400);
        window.show();
        QApplication::processEvents();
        const int total = splitter->sizes()[0] + splitter->sizes()[1];
        splitter->setSizes({100, total - 100});
        const QList<int> saved = splitter->sizes();
        ASSERT_EQ(saved[0], 100);

        SaveControls(*store_, "Settings", &window);
        const std::string section = "Settings FormMain";
        EXPECT_EQ(store_->ReadInteger(section, std::string("PanelFirst") + c.key, -1), saved[0]) << c.key;
        EXPECT_EQ(store_->ReadInteger(section, std::string("PanelSecond") + c.key, -1), saved[1]) << c.key;

        splitter->setSizes({total - 60, 60});
        ASSERT_NE(splitter->sizes(), saved);
        IniSectionCache().Clear();
        RestoreControls(store_.get(), "Settings", &window);
        EXPECT_EQ(splitter->sizes(), saved) << c.key;
    }
}

TEST_F(ControlWalkTest, SaveSplitterSizesWritesOnlyNamedNeighbours) {
    auto* splitter = Named<QSplitter>(panel_, "Splitter1");
    splitter->setOrientation(Qt::Horizontal);
    splitter->addWidget(Named<QWidget>(nullptr, "PanelLeft"));
    splitter->addWidget(new QWidget);
    splitter->setSizes({30, 70});
    SaveSplitterSizes(*store_, "Layout", splitter);
    EXPECT_EQ(store_->ReadSection("Layout"), (std::vector<std::string>{"PanelLeft.Width"}));
}

} // namespace
} // namespace era
