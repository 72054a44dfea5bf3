#include "platform/uikit/UITextField.h"

#include <gtest/gtest.h>

#include "platform/NotificationCenter.h"
#include "platform/uikit/TouchDriver.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue::platform {
namespace {

struct FieldDelegate : UITextFieldDelegate {
    std::vector<std::string>* log;
    std::string name;
    bool mayBegin = true, mayEnd = true;
    FieldDelegate(std::vector<std::string>& l, std::string n) : log(&l), name(std::move(n)) {}
    bool textFieldShouldBeginEditing(UITextField&) override {
        log->push_back(name + ".shouldBegin");
        return mayBegin;
    }
    void textFieldDidBeginEditing(UITextField&) override { log->push_back(name + ".didBegin"); }
    bool textFieldShouldEndEditing(UITextField&) override {
        log->push_back(name + ".shouldEnd");
        return mayEnd;
    }
    void textFieldDidEndEditing(UITextField&) override { log->push_back(name + ".didEnd"); }
    bool textFieldShouldReturn(UITextField&) override {
        log->push_back(name + ".return");
        return true;
    }
};

class TextInput : public ::testing::Test {
protected:
    void SetUp() override {
        window = make<UIWindow>(CGRect(0, 0, 320, 480));
        window->makeKeyAndVisible();
    }
    std::shared_ptr<UITextField> field(const std::shared_ptr<FieldDelegate>& delegate, double y) {
        auto f = make<UITextField>(CGRect(0, y, 200, 30));
        f->setDelegate(delegate);
        window->addSubview(f);
        return f;
    }
    std::shared_ptr<UIWindow> window;
    std::vector<std::string> log;
};

TEST_F(TextInput, FieldDelegatesDecideWhenEditingBeginsAndEnds) {
    auto da = std::make_shared<FieldDelegate>(log, "a"), db = std::make_shared<FieldDelegate>(log, "b");
    auto a = field(da, 0), b = field(db, 100);
    da->mayBegin = false;
    TouchDriver::tap(a);
    EXPECT_FALSE(a->isEditing());
    EXPECT_FALSE(a->isFirstResponder());
    da->mayBegin = true;
    TouchDriver::tap(a);
    ASSERT_TRUE(a->isEditing());

    // Moving to the other field asks the first to end; a refusal keeps it editing.
    da->mayEnd = false;
    log.clear();
    EXPECT_FALSE(b->becomeFirstResponder());
    EXPECT_TRUE(a->isFirstResponder());
    EXPECT_FALSE(b->isEditing());
    da->mayEnd = true;
    TouchDriver::tap(b);
    EXPECT_EQ(log, (std::vector<std::string>{"b.shouldBegin", "a.shouldEnd", "b.shouldBegin", "a.shouldEnd",
                                             "a.didEnd", "b.didBegin"}));
    EXPECT_FALSE(a->isEditing());
    EXPECT_TRUE(b->isFirstResponder());

    log.clear();
    b->pressReturn();  // the delegate is asked; editing goes on until someone resigns
    EXPECT_EQ(log, (std::vector<std::string>{"b.return"}));
    EXPECT_TRUE(b->isEditing());
    a->pressReturn();  // not editing: nothing
    EXPECT_EQ(log.size(), 1u);
    EXPECT_TRUE(b->resignFirstResponder());
    EXPECT_FALSE(b->isEditing());

    // A disabled field cannot begin.
    b->setEnabled(false);
    EXPECT_FALSE(b->becomeFirstResponder());
    EXPECT_FALSE(b->isEditing());
}

TEST_F(TextInput, TypingPostsChangesOnlyWhileEditing) {
    auto d = std::make_shared<FieldDelegate>(log, "f");
    auto f = field(d, 0);
    int posts = 0;
    auto token = NotificationCenter::defaultCenter().addObserver(
        UITextField::UITextFieldTextDidChangeNotification, f, nullptr, [&](const Notification&) { ++posts; });
    f->typeText("x");
    EXPECT_EQ(posts, 0);
    f->becomeFirstResponder();
    f->typeText("ab");
    f->typeText("c");
    EXPECT_EQ(f->text(), "abc");
    EXPECT_EQ(posts, 2);
    NotificationCenter::defaultCenter().removeObserver(token);
}

struct ViewDelegate : UITextViewDelegate {
    std::vector<std::string> calls;
    bool mayBegin = true;
    bool textViewShouldBeginEditing(UITextView&) override { return mayBegin; }
    void textViewDidBeginEditing(UITextView&) override { calls.push_back("begin"); }
    void textViewDidChange(UITextView& v) override { calls.push_back("change:" + v.text()); }
    void textViewDidEndEditing(UITextView&) override { calls.push_back("end"); }
};

TEST_F(TextInput, TextViewsEditOnlyWhenEditableAndAllowed) {
    auto view = make<UITextView>(CGRect(0, 200, 300, 100));
    auto d = std::make_shared<ViewDelegate>();
    view->setTextViewDelegate(d);
    window->addSubview(view);
    view->setEditable(false);
    TouchDriver::tap(view);
    EXPECT_FALSE(view->isEditing());
    view->setEditable(true);
    d->mayBegin = false;
    TouchDriver::tap(view);
    EXPECT_FALSE(view->isEditing());
    d->mayBegin = true;
    TouchDriver::tap(view);
    view->typeText("hi");
    EXPECT_TRUE(view->resignFirstResponder());
    view->typeText("lost");
    EXPECT_EQ(view->text(), "hi");
    EXPECT_EQ(d->calls, (std::vector<std::string>{"begin", "change:hi", "end"}));
    EXPECT_EQ(view->delegate(), d);  // also the scroll view's delegate
}

}  // namespace
}  // namespace brindlecue::platform
