#include "app/CommandLine.h"

#include <gtest/gtest.h>

TEST(HasSwitch, EmptyOrMissingLineHasNoSwitch)
{
    EXPECT_FALSE(HasSwitch("", 's'));
    EXPECT_FALSE(HasSwitch(nullptr, 's'));
    EXPECT_FALSE(HasSwitch("/", 's'));
}

TEST(HasSwitch, LetterAnywhereInEitherCase)
{
    EXPECT_TRUE(HasSwitch("-S", 's'));
    EXPECT_TRUE(HasSwitch("/s", 's'));
    EXPECT_TRUE(HasSwitch("s", 's'));
    EXPECT_TRUE(HasSwitch("/P 1234", 'p'));
    EXPECT_TRUE(HasSwitch("  x  v", 'v'));
    EXPECT_FALSE(HasSwitch("/c:1234", 's'));
}

TEST(HasSwitch, OnlyOneLeadingMarkIsSkipped)
{
    // The letter is looked for in the rest of the line, marks included.
    EXPECT_TRUE(HasSwitch("--s", 's'));
    EXPECT_FALSE(HasSwitch("/", '/'));
    EXPECT_TRUE(HasSwitch("//", '/'));
}

struct RoleCase {
    const char* line;
    Role role;
};

class ChooseRoleTest : public ::testing::TestWithParam<RoleCase> {};

TEST_P(ChooseRoleTest, PicksTheFirstLetterOfTheFixedOrder)
{
    EXPECT_EQ(ChooseRole(GetParam().line), GetParam().role) << "command line: \"" << GetParam().line << "\"";
}

INSTANTIATE_TEST_SUITE_P(CommandLines, ChooseRoleTest,
    ::testing::Values(RoleCase {"", Role::Settings}, RoleCase {"/c", Role::Settings},
                      RoleCase {"/c:1234", Role::Settings}, RoleCase {"-S", Role::Saver}, RoleCase {"/s", Role::Saver},
                      RoleCase {"s", Role::Saver}, RoleCase {"/P 1234", Role::Preview},
                      RoleCase {"/p:1234", Role::Preview}, RoleCase {"/a 42", Role::ChangePassword},
                      RoleCase {"/v", Role::Wallpaper}, RoleCase {"/p /s", Role::Saver},
                      RoleCase {"/v /a", Role::ChangePassword},
                      // Path-like arguments select whatever role letter they contain.
                      RoleCase {"C:\\Pictures\\holiday.bmp", Role::Saver}, RoleCase {"D:\\temp", Role::Preview},
                      RoleCase {"C:\\data", Role::ChangePassword}, RoleCase {"C:\\dev", Role::Wallpaper},
                      RoleCase {"C:\\DIR", Role::Settings}));

TEST(NumberAfterLetter, UsesTheCDecimalConversionAfterTheLowerCaseLetter)
{
    EXPECT_EQ(NumberAfterLetter("/p 1234", 'p'), 1234);
    EXPECT_EQ(NumberAfterLetter("/p:1234", 'p'), 0);
    EXPECT_EQ(NumberAfterLetter("/P 1234", 'p'), 0); // only the lower-case letter is looked for
    EXPECT_EQ(NumberAfterLetter("/a   -17x", 'a'), -17);
    EXPECT_EQ(NumberAfterLetter("/p\t99 12", 'p'), 99);
    EXPECT_EQ(NumberAfterLetter("/v", 'p'), 0);
    EXPECT_EQ(NumberAfterLetter("/p", 'p'), 0);
    // The first occurrence counts, even inside a word.
    EXPECT_EQ(NumberAfterLetter("path /p 5", 'p'), 0);
}

TEST(OwnerNumberAfterC, ScansFromTheFirstCForADigit)
{
    long number = -1;
    EXPECT_FALSE(OwnerNumberAfterC("", &number));
    EXPECT_FALSE(OwnerNumberAfterC("/C:1234", &number)); // upper case 'C' is not looked for
    EXPECT_FALSE(OwnerNumberAfterC("/c", &number));
    EXPECT_FALSE(OwnerNumberAfterC("/c:", &number));
    ASSERT_TRUE(OwnerNumberAfterC("/c:1234", &number));
    EXPECT_EQ(number, 1234);
    ASSERT_TRUE(OwnerNumberAfterC("/c x 77 88", &number));
    EXPECT_EQ(number, 77);
    ASSERT_TRUE(OwnerNumberAfterC("3 /c 5", &number)); // digits before the 'c' do not count
    EXPECT_EQ(number, 5);
}

// The four requests to the running changer are whole words after one mark, in any case; any
// other line keeps the role letters (where "/pause" would be the saver and "/next" Settings).
TEST(ChangerRequest, WholeWordsInAnyCaseAfterOneMark)
{
    EXPECT_EQ(ChangerRequestOf("/next"), ChangerRequest::next);
    EXPECT_EQ(ChangerRequestOf("-Previous"), ChangerRequest::previous);
    EXPECT_EQ(ChangerRequestOf("  /PAUSE  "), ChangerRequest::pause);
    EXPECT_EQ(ChangerRequestOf("/resume"), ChangerRequest::resume);
    for (const char* other : std::initializer_list<const char*> {"", "next", "/nex", "/nexts", "/next now", "//next", "/next/", "/s", "/pause2", "/c:123",
                              "-resumeX", nullptr})
        EXPECT_EQ(ChangerRequestOf(other), ChangerRequest::none) << (other ? other : "(null)");
    // Without the request they would be read as roles.
    EXPECT_EQ(ChooseRole("/pause"), Role::Saver);
    EXPECT_EQ(ChooseRole("/next"), Role::Settings);
}
