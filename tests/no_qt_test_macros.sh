#!/bin/sh
# GoogleTest sees nothing of Qt's test macros: a failing QVERIFY/QCOMPARE or a timed-out QTRY_
# records no failure and returns from the test, skipping the checks after it. Tests use
# GoogleTest's assertions (with QTest::qWaitFor for waits) instead.
# Usage: no_qt_test_macros.sh TESTS_FOLDER
set -u
folder=$1
sources=$(find "$folder" -name '*.cpp' -o -name '*.hpp' -o -name '*.h' | wc -l)
[ "$sources" -gt 0 ] || { echo "no test sources under $folder"; exit 1; }
grep -rnE --include='*.cpp' --include='*.hpp' --include='*.h' 'QTRY_|QVERIFY|QCOMPARE' "$folder"
case $? in
    0) echo "Qt test macros in GoogleTest sources (above): use ASSERT_*/EXPECT_* and QTest::qWaitFor"; exit 1 ;;
    1) echo "no Qt test macros in $sources test sources"; exit 0 ;;
    *) echo "could not search $folder"; exit 1 ;;
esac
