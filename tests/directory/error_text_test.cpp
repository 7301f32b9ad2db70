#include "directory/error_table.h"
#include "directory/error_text.h"
#include "support/recording_host.h"

#include <gtest/gtest.h>

namespace era {

namespace {

const char* KnowsNothing(int32_t) {
    return "Unknown error";
}
const char* AnswersNull(int32_t) {
    return nullptr;
}

// An error-text library with a chosen function that counts how often it is released.
class TCountingLibrary final : public TErrorTextLibrary {
public:
    TCountingLibrary(TStrError function, int& released) : function_(function), released_(released) {}
    ~TCountingLibrary() override { ++released_; }
    TStrError FindNWstrerror() const override { return function_; }

private:
    TStrError function_;
    int& released_;
};

// A client whose error-text library is missing, or the one the test chooses.
class TTestClient final : public TDirectoryClient {
public:
    std::unique_ptr<TErrorTextLibrary> LoadErrorTextLibrary() override {
        ++Loads;
        if (!Installed) return nullptr;
        return std::make_unique<TCountingLibrary>(Function, Released);
    }
    bool Installed = false;
    TErrorTextLibrary::TStrError Function = nullptr;
    int Loads = 0;
    int Released = 0;
};

class ErrorText : public ::testing::Test {
protected:
    void SetUp() override {
        auto client = std::make_unique<TTestClient>();
        client_ = client.get();
        previous_ = InstallClient(std::move(client));
    }
    void TearDown() override { InstallClient(std::move(previous_)); }
    void UseLibrary(TErrorTextLibrary::TStrError function) {
        client_->Installed = true;
        client_->Function = function;
    }

    TTestClient* client_ = nullptr;
    std::unique_ptr<TDirectoryClient> previous_;
};

} // namespace

TEST_F(ErrorText, WithoutTheLibraryOnlyTheCode) {
    EXPECT_EQ(U_ErrorText(0x899C), "0x899C");
    EXPECT_EQ(U_ErrorText(1), "0x0001");
    EXPECT_EQ(U_ErrorText(-601), "0xFFFFFDA7");
    EXPECT_EQ(U_ErrorText(0x12345), "0x12345");
}

TEST_F(ErrorText, TheLibraryDescribesTheCode) {
    UseLibrary(&NWErrorDescription);
    EXPECT_EQ(U_ErrorText(0x899C), "0x899C (invalid path, or no more trustees)");
    EXPECT_EQ(U_ErrorText(-601), "0xFFFFFDA7 (no such entry)");
    EXPECT_EQ(U_ErrorText(0x8801), "0x8801 (invalid connection)");
    // A code the library does not know gets the operating system's text.
    EXPECT_EQ(U_ErrorText(2), "0x0002 (No such file or directory)");
}

TEST_F(ErrorText, TheLibraryIsLoadedAndReleasedOnEveryCall) {
    UseLibrary(&NWErrorDescription);
    U_ErrorText(-601);
    U_ErrorText(-603);
    EXPECT_EQ(client_->Loads, 2);
    EXPECT_EQ(client_->Released, 2);
}

TEST_F(ErrorText, ALibraryThatKnowsNothingFallsBackToTheSystem) {
    for (TErrorTextLibrary::TStrError function :
         {&KnowsNothing, &AnswersNull, TErrorTextLibrary::TStrError(nullptr)}) {
        UseLibrary(function);
        EXPECT_EQ(U_ErrorText(13), "0x000D (Permission denied)");
        EXPECT_EQ(U_ErrorText(0x899C), "0x899C (Unknown error 35228)"); // whatever the system says
    }
}

TEST_F(ErrorText, CodeZeroShowsNothing) {
    testing::TRecordingHostScope host;
    U_ReportError(0, "InitNetWare");
    U_ShowError(0, "InitNetWare");
    EXPECT_TRUE(host->Dialogs.empty());
}

TEST_F(ErrorText, ReportErrorShowsTheSentenceAndTheText) {
    UseLibrary(&NWErrorDescription);
    testing::TRecordingHostScope host;
    U_ReportError(0x8847, "The connection to the server");
    ASSERT_EQ(host->Dialogs.size(), 1u);
    EXPECT_EQ(host->Dialogs[0].Kind, dkError);
    EXPECT_EQ(host->Dialogs[0].Text, "The connection to the server returned error 0x8847 (no server found)");
}

TEST_F(ErrorText, ShowErrorShowsTheCodeAndTheName) {
    testing::TRecordingHostScope host;
    U_ShowError(-601, "DSChangeCurrentTree");
    U_ShowError(0x8801, "NWCCOpenConnByRef");
    U_ShowError(1, "InitNetWare");
    ASSERT_EQ(host->Dialogs.size(), 3u);
    EXPECT_EQ(host->Dialogs[0].Text, "Error FFFFFDA7: DSChangeCurrentTree");
    EXPECT_EQ(host->Dialogs[1].Text, "Error 8801: NWCCOpenConnByRef");
    EXPECT_EQ(host->Dialogs[2].Text, "Error 0001: InitNetWare");
    EXPECT_EQ(host->Dialogs[0].Kind, dkError);
    EXPECT_EQ(client_->Loads, 0); // the short box never needs the library
}

TEST(ErrorTable, Descriptions) {
    struct Case {
        int32_t code;
        const char* expected;
    };
    const Case cases[] = {
        {-601, "no such entry"},
        {-603, "no such attribute"},
        {-672, "no access"},
        {-326, "invalid filter syntax"},
        {0x8801, "invalid connection"},
        {0xFFFF, "NetWare client not initialised"},
        {0x899C, "invalid path, or no more trustees"},
        {0x8998, "volume does not exist"},
        {0x89A8, "access denied"},
        {0x899B, "bad directory handle"},
        {0x8996, "server out of memory"},
        {-156, "invalid path, or no more trustees"}, // a server's code passed through the directory
        {0, "Unknown error"},
        {0x8900, "Unknown error"},
        {0x9C, "Unknown error"}, // the bare byte is no client code
        {-600, "Unknown error"},
        {-256, "Unknown error"},
        {0x7FFFFFFF, "Unknown error"},
        {INT32_MIN, "Unknown error"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(NWErrorDescription(c.code), c.expected) << c.code;
}

TEST(ErrorTable, EveryCodeGetsAText) {
    for (int32_t code = -1000; code <= 0x8A00; ++code) {
        const char* text = NWErrorDescription(code);
        ASSERT_NE(text, nullptr) << code;
        ASSERT_NE(text[0], '\0') << code;
    }
    TTableErrorTextLibrary library;
    ASSERT_NE(library.FindNWstrerror(), nullptr);
    EXPECT_STREQ(library.FindNWstrerror()(-672), "no access");
}

} // namespace era
