#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace {

// The widget tests run inside a QApplication on the offscreen platform.
class WidgetApplication : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "link_ui_tests";
        static char* argv[] = {name, nullptr};
        m_application = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { m_application.reset(); }

private:
    std::unique_ptr<QApplication> m_application;
};

[[maybe_unused]] const ::testing::Environment* const kWidgetApplication =
    ::testing::AddGlobalTestEnvironment(new WidgetApplication);

}  // namespace
