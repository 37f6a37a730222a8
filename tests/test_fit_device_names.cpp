#include "fit/fit_device_names.h"

#include <QTest>

using namespace kelvane;

class TestFitDeviceNames : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void names_data();
    void names();
};

void TestFitDeviceNames::names_data()
{
    QTest::addColumn<int>("manufacturer"); // -1: absent
    QTest::addColumn<int>("product");
    QTest::addColumn<QString>("productName");
    QTest::addColumn<QString>("name");

    // The file_id of the reference files, as the FIT SDK reads them.
    QTest::newRow("fitparse_event_timestamp") << 1 << 2158 << ""
                                              << "Garmin Forerunner 735XT";
    QTest::newRow("gc_MultiSport") << 1 << 2604 << ""
                                   << "Garmin fenix 5X";
    QTest::newRow("gc_10kUNLP2014: a product the profile does not name") << 1 << 1932 << ""
                                                                         << "Garmin product 1932";
    QTest::newRow("gc_SigmaRox11_1: the file's product name") << 70 << 49 << "ROX 11.1 EVO"
                                                              << "Sigma Sport ROX 11.1 EVO";
    QTest::newRow("fitparse_nick") << 70 << 46 << ""
                                   << "Sigma Sport product 46";
    QTest::newRow("gpsbabel_wahoo-element-bolt") << 32 << 31 << ""
                                                 << "Wahoo Fitness product 31";
    QTest::newRow("fitparse_strava-android-app") << 265 << 102 << ""
                                                 << "Strava product 102";
    // Product numbers name Garmin's products only.
    QTest::newRow("another maker's product number") << 294 << 2158 << ""
                                                    << "Coros product 2158";
    QTest::newRow("an unknown maker") << 9999 << -1 << ""
                                      << "manufacturer 9999";
    QTest::newRow("no maker") << -1 << 2158 << ""
                              << "";
}

void TestFitDeviceNames::names()
{
    QFETCH(int, manufacturer);
    QFETCH(int, product);
    QFETCH(QString, productName);
    QFETCH(QString, name);
    const QByteArray text = productName.toUtf8();
    QCOMPARE(fitDeviceName(manufacturer < 0 ? std::nullopt : std::optional(unsigned(manufacturer)),
                           product < 0 ? std::nullopt : std::optional(unsigned(product)),
                           std::string_view(text.data(), std::size_t(text.size()))),
             name);
}

QTEST_GUILESS_MAIN(TestFitDeviceNames)
#include "test_fit_device_names.moc"
