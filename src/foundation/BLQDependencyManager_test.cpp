#include "foundation/BLQDependencyManager.h"

#include <gtest/gtest.h>

namespace brindlecue {
namespace {

class BLQIGreeter {
public:
    virtual ~BLQIGreeter() = default;
};
class Greeter final : public BLQIGreeter {};

class BLQIPrinter {
public:
    virtual ~BLQIPrinter() = default;
};
class Printer final : public BLQIPrinter {
public:
    explicit Printer(std::shared_ptr<BLQIGreeter> g) : greeter(std::move(g)) {}
    std::shared_ptr<BLQIGreeter> greeter;
};

template <class T>
class BLQResponseValidator {};

TEST(DependencyManager, SingletonIsBuiltOnceAtRegistrationAndAlwaysReturned) {
    BLQDependencyManager container;
    int runs = 0;
    container.register_<BLQIGreeter>(true, [&] {
        ++runs;
        return std::make_shared<Greeter>();
    });
    EXPECT_EQ(runs, 1);
    auto a = container.resolve<BLQIGreeter>();
    auto b = container.resolve<BLQIGreeter>();
    EXPECT_EQ(a, b);
    EXPECT_NE(a, nullptr);
    EXPECT_EQ(runs, 1);
}

TEST(DependencyManager, NonSingletonBuildsANewInstanceOnEveryResolution) {
    BLQDependencyManager container;
    int runs = 0;
    // The flag left at its default makes a non-singleton.
    container.register_<BLQIGreeter>([&] {
        ++runs;
        return std::make_shared<Greeter>();
    });
    EXPECT_EQ(runs, 1);
    auto a = container.resolve<BLQIGreeter>();
    auto b = container.resolve<BLQIGreeter>();
    EXPECT_NE(a, b);
    EXPECT_EQ(runs, 3);
    // The instance built at registration was released straight away.
    std::weak_ptr<BLQIGreeter> registrationInstance;
    container.register_<BLQIGreeter>([&] {
        auto g = std::make_shared<Greeter>();
        if (registrationInstance.expired()) registrationInstance = g;
        return g;
    });
    EXPECT_TRUE(registrationInstance.expired());
}

TEST(DependencyManager, FactoriesResolveEarlierRegistrationsAndSingletonsWinOverFactories) {
    BLQDependencyManager container;
    container.register_<BLQIGreeter>(true, [] { return std::make_shared<Greeter>(); });
    container.register_<BLQIPrinter>(
        [&] { return std::make_shared<Printer>(container.resolve<BLQIGreeter>()); });
    auto printer = std::dynamic_pointer_cast<Printer>(container.resolve<BLQIPrinter>());
    ASSERT_NE(printer, nullptr);
    EXPECT_EQ(printer->greeter, container.resolve<BLQIGreeter>());

    auto singleton = std::make_shared<Printer>(nullptr);
    container.register_<BLQIPrinter>(true, [&] { return singleton; });
    EXPECT_EQ(container.resolve<BLQIPrinter>(), singleton);
}

TEST(DependencyManager, NamesAreUnqualified) {
    EXPECT_EQ(BLQDependencyManager::unqualifiedName(typeid(BLQIGreeter)), "BLQIGreeter");
    EXPECT_EQ(BLQDependencyManager::unqualifiedName(typeid(BLQResponseValidator<Greeter>)),
              "BLQResponseValidator<Greeter>");
}

TEST(DependencyManagerDeathTest, UnregisteredTypeStopsTheProcessNamingTheInterface) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(BLQDependencyManager().resolve<BLQIGreeter>(),
                 "Brindlecue - Dependency Manager failed to resolve dependency: BLQIGreeter");
}

TEST(DependencyManagerDeathTest, FactoryResolvingALaterTypeStopsDuringRegistration) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            BLQDependencyManager container;
            container.register_<BLQIPrinter>(
                [&] { return std::make_shared<Printer>(container.resolve<BLQIGreeter>()); });
        },
        "failed to resolve dependency: BLQIGreeter");
}

}  // namespace
}  // namespace brindlecue
