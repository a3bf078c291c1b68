#pragma once
// main() for the program's QtTest programs: the application object and process set-up the
// program itself uses (C numeric locale, font substitution), then the test object.

#include <QtTest>

#include "app/application.h"

#define TIRELLE_TEST_MAIN(TestObject)                              \
    int main(int argc, char** argv) {                              \
        tirelle::app::Application application(argc, argv);        \
        tirelle::app::prepareProcess();                            \
        QTEST_SET_MAIN_SOURCE_PATH                                 \
        TestObject test;                                           \
        return QTest::qExec(&test, argc, argv);                    \
    }
