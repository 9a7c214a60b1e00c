#include <QTest>
class Dummy : public QObject { Q_OBJECT };
QTEST_MAIN(Dummy)
#include "Unit1_test.moc"
