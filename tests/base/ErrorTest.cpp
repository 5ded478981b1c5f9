#include <gtest/gtest.h>

#include <cerrno>

#include "base/Error.h"

namespace tidyfold {
namespace {

// What each kind of error tells a caller and a reader of its text.
TEST(ErrorTest, KindsKeepTheirNumbersApartAndSayWhatFailed) {
    struct Case {
        const char* name;
        Error error;
        Error::Kind kind;
        int number;
        const char* what;
    };
    const Case cases[] = {
        {"system", Error::System(EACCES, "cannot remove folder", "/d/x"), Error::Kind::System, EACCES,
         "Error 13: cannot remove folder /d/x: Permission denied"},
        {"system, no path", Error::System(EIO, "cannot flush"), Error::Kind::System, EIO,
         "Error 5: cannot flush: Input/output error"},
        {"type mismatch", Error::TypeMismatch(), Error::Kind::Conversion, kTypeMismatch, "Error 13: Type mismatch"},
        {"overflow", Error::Overflow(), Error::Kind::Conversion, kOverflow, "Error 6: Overflow"},
        {"refused", Error::Refused("No offload folder is set."), Error::Kind::Refused, EINVAL,
         "Error 22: No offload folder is set."},
        {"refused with a path", Error::Refused("Not inside the Desktop.", "/x", EXDEV), Error::Kind::Refused, EXDEV,
         "Error 18: /x: Not inside the Desktop."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.error.What(), c.kind);
        EXPECT_EQ(c.error.Number(), c.number);
        EXPECT_STREQ(c.error.what(), c.what);
    }
    // Same number, different meaning: only one of them is the system's EACCES.
    EXPECT_TRUE(Error::System(EACCES, "cannot open").IsSystem(EACCES));
    EXPECT_FALSE(Error::TypeMismatch().IsSystem(EACCES));
    EXPECT_TRUE(Error::TypeMismatch().IsConversion());
}

TEST(ErrorTest, InAddsWhatTheCallerWasDoingAndKeepsTheRest) {
    const Error named = Error::TypeMismatch().In("cannot read the setting \"TimeLimit\" in", "/app/settings.ini");
    EXPECT_TRUE(named.IsConversion());
    EXPECT_EQ(named.Number(), kTypeMismatch);
    EXPECT_EQ(named.Description(), "Type mismatch");
    EXPECT_EQ(named.Path(), "/app/settings.ini");
    EXPECT_STREQ(named.what(), "Error 13: cannot read the setting \"TimeLimit\" in /app/settings.ini: Type mismatch");
}

}  // namespace
}  // namespace tidyfold
