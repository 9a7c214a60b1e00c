// The Qt-free natural order of names against the collator the GUI passes in (QCollator for
// English in numeric mode): the same order for names of printable ASCII.
#include "viewer/logic/File_order.h"

#include <QCollator>
#include <QTest>

#include <random>
#include <string>
#include <vector>

class FileOrderCollatorTest : public QObject {
    Q_OBJECT

private slots:
    void AsciiNamesSortAsTheCollatorSortsThem()
    {
        QCollator collator(QLocale(QLocale::English, QLocale::UnitedStates));
        collator.setNumericMode(true);
        // Names like a camera's and a person's: letters of both cases, digit runs with and
        // without leading zeros, the punctuation and blanks of file names.
        const std::string alphabet = "aAbBeEzZ0001234567899 _-.,;!'()[]{}@&#%+=~$";
        std::mt19937 random(20261211);
        std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
        std::uniform_int_distribution<int> length(1, 7);
        std::vector<std::string> names = {"img2.jpg", "img10.jpg", "IMG_0001.JPG", "img_0002.jpg", "a b", "ab", "a-b",
                                          "A", "a", "007", "7", "x.jpg", "x-1.jpg", "x1.jpg", "1.5", "1.10"};
        while (names.size() < 1500) {
            std::string name;
            for (int n = length(random); n > 0; --n)
                name += alphabet[pick(random)];
            names.push_back(name);
        }
        std::uniform_int_distribution<std::size_t> any(0, names.size() - 1);
        int checked = 0;
        for (int i = 0; i < 40000; ++i) {
            const std::string& a = names[any(random)];
            const std::string& b = names[any(random)];
            const int ours = NaturalCompare(a, b);
            const int theirs = collator.compare(QString::fromStdString(a), QString::fromStdString(b));
            if ((ours > 0) != (theirs > 0) || (ours < 0) != (theirs < 0))
                QFAIL(qPrintable(QString("\"%1\" / \"%2\": ours %3, the collator's %4")
                                     .arg(QString::fromStdString(a), QString::fromStdString(b))
                                     .arg(ours)
                                     .arg(theirs)));
            ++checked;
        }
        QCOMPARE(checked, 40000);
    }
};

QTEST_GUILESS_MAIN(FileOrderCollatorTest)
#include "File_order_collator_test.moc"
