#include "effects/equalizer_form.h"

#include "app/preference_data_module.h"
#include "support/fake_dialogs.h"
#include "support/file_checks.h"
#include "support/temp_dir.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>
#include <tuple>

using namespace zvtest;
using ::testing::ElementsAre;
namespace fs = std::filesystem;

namespace {

using Bands = std::array<int, 10>;
using Change = std::tuple<QObject*, int, int>;

// A window over its own preset folder (two presets) and preferences file,
// with every band change recorded.
class EqualizerFormTest : public ::testing::Test {
protected:
    EqualizerFormTest()
    {
        fs::create_directory(dir.file("eq"));
        writeBytes(dir.file("eq/1-soft.zveq"), "[desc]\nname=Soft\n[eq]\nf70=-3\nf180=-2\nf16000=4\n");
        writeBytes(dir.file("eq/2-bass.zveq"), "[eq]\nf70=6\nf180=-2\nf16000=4\n");
        Open();
    }

    // Closes the window and the store (which writes its file), then opens both anew.
    void Open()
    {
        form.reset();
        preferences = std::make_unique<TPreferenceDataModule>(dir.file("qxzelvora.ini"));
        form = std::make_unique<TEqualizerForm>(*preferences, dir.file("eq"));
        form->SetOnBandChange(
            [this](QObject* sender, int index, int value) { changes.emplace_back(sender, index, value); });
    }

    template <typename T> T* Child(const QString& name)
    {
        T* child = form->findChild<T*>(name);
        if (!child)
            ADD_FAILURE() << "no control " << name.toStdString();
        return child;
    }
    QSlider* Track(int band) { return Child<QSlider>(QStringLiteral("trackGain%1").arg(band)); }
    std::string GainText(int band)
    {
        return Child<QLabel>(QStringLiteral("labelGain%1").arg(band))->text().toStdString();
    }
    Bands CurrentBands()
    {
        std::array<float, 10> values {};
        form->GetBands(values);
        Bands bands {};
        std::copy(values.begin(), values.end(), bands.begin());
        return bands;
    }
    // As the user picks an item of the preset list.
    void ChoosePreset(int item)
    {
        QComboBox* presets = Child<QComboBox>(QStringLiteral("cbPresets"));
        presets->setCurrentIndex(item);
        emit presets->activated(item);
    }
    int PresetItem() { return Child<QComboBox>(QStringLiteral("cbPresets"))->currentIndex(); }
    void Trigger(const char* action) { Child<QAction>(QString::fromLatin1(action))->trigger(); }

    TempDir dir;
    ScopedFakeDialogs dialogs;
    std::unique_ptr<TPreferenceDataModule> preferences;
    std::unique_ptr<TEqualizerForm> form;
    std::vector<Change> changes;
};

TEST_F(EqualizerFormTest, OpensWithFrequencyLabelsAndTheFolderPresetsAfterAnEmptyItem)
{
    QStringList frequencies;
    for (int band = 0; band < 10; ++band)
        frequencies << Child<QLabel>(QStringLiteral("labelHz%1").arg(band))->text();
    EXPECT_EQ(frequencies.join(' ').toStdString(), "70 180 320 600 1k 3k 6k 12k 14k 16k");

    QComboBox* presets = Child<QComboBox>(QStringLiteral("cbPresets"));
    std::vector<std::string> items;
    for (int item = 0; item < presets->count(); ++item)
        items.push_back(presets->itemText(item).toStdString());
    EXPECT_THAT(items, ElementsAre("", "Soft", "2-bass"));
    EXPECT_EQ(PresetItem(), 0);
    EXPECT_EQ(CurrentBands(), Bands {});
    EXPECT_EQ(form->windowTitle().toStdString(), "音调均衡器");
    EXPECT_EQ(form->width(), 409);
    EXPECT_EQ(form->height(), 207);
}

TEST_F(EqualizerFormTest, DraggingASliderToTheTopShowsFifteenAndTellsTheBand)
{
    QSlider* track = Track(0);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    const QPoint middle(track->width() / 2, track->height() / 2);
    QTest::mousePress(track, Qt::LeftButton, {}, middle);
    QTest::mouseMove(track, QPoint(middle.x(), -40));
    QTest::mouseRelease(track, Qt::LeftButton, {}, QPoint(middle.x(), -40));

    EXPECT_EQ(GainText(0), "15");
    ASSERT_FALSE(changes.empty());
    EXPECT_EQ(changes.back(), Change(track, 0, 15));
    EXPECT_EQ(CurrentBands()[0], 15);

    changes.clear();
    QTest::keyClick(track, Qt::Key_Down);
    EXPECT_THAT(changes, ElementsAre(Change(track, 0, 14)));
    EXPECT_EQ(GainText(0), "14");
}

TEST_F(EqualizerFormTest, PresetsMoveOnlyTheBandsThatDiffer)
{
    form->SetBands({ -3, -2, 0, 0, 0, 0, 0, 0, 0, 4 });
    changes.clear();
    ChoosePreset(1);
    EXPECT_TRUE(changes.empty());

    ChoosePreset(2);
    EXPECT_THAT(changes, ElementsAre(Change(Track(0), 0, 6)));
    EXPECT_EQ(GainText(0), "6");
    EXPECT_EQ(PresetItem(), 2);
}

TEST_F(EqualizerFormTest, ZeroAllClearsEveryBandAndThePresetChoice)
{
    ChoosePreset(1);
    Child<QPushButton>(QStringLiteral("btnZeroAll"))->click();
    EXPECT_EQ(CurrentBands(), Bands {});
    for (int band = 0; band < 10; ++band)
        EXPECT_EQ(GainText(band), "0") << "band " << band;
    EXPECT_EQ(PresetItem(), 0);
}

TEST_F(EqualizerFormTest, DefaultIsRestoredByTheMenuAndByTheNextStart)
{
    const Bands saved { 1, -2, 3, -4, 5, -6, 7, -8, 9, -15 };
    form->SetBands(saved);
    Trigger("miSaveAsDefault");
    ChoosePreset(2);
    Trigger("miLoadDefault");
    EXPECT_EQ(CurrentBands(), saved);
    EXPECT_EQ(PresetItem(), 0);

    Open();
    EXPECT_EQ(CurrentBands(), saved);
    EXPECT_EQ(GainText(9), "-15");
}

TEST_F(EqualizerFormTest, DefaultsBeyondFifteenAreClampedWhilePresetValuesBeyondAreZero)
{
    form.reset();
    preferences.reset();
    writeBytes(dir.file("qxzelvora.ini"), "[EqDefault]\nf70=40\nf180=-40\nf320=7\n");
    Open();
    EXPECT_EQ(CurrentBands(), (Bands { 15, -15, 7, 0, 0, 0, 0, 0, 0, 0 }));

    writeBytes(dir.file("loud.zveq"), "[eq]\nf70=40\nf180=-40\nf320=7\n");
    dialogs->files = { dir.file("loud.zveq") };
    ChoosePreset(1);
    Child<QToolButton>(QStringLiteral("btnLoad"))->click();
    EXPECT_EQ(CurrentBands(), (Bands { 0, 0, 7, 0, 0, 0, 0, 0, 0, 0 }));
    EXPECT_EQ(PresetItem(), 0);
    ASSERT_EQ(dialogs->boxes.size(), 1u);
    EXPECT_EQ(dialogs->boxes[0].caption, "Open preset");
    EXPECT_EQ(dialogs->boxes[0].text, "均衡器配置 (*.zveq)|*.zveq");
}

TEST_F(EqualizerFormTest, LoadingAMissingFileSaysSoAndKeepsTheSliders)
{
    form->SetBands({ 2, 2, 2, 2, 2, 2, 2, 2, 2, 2 });
    dialogs->files = { dir.file("gone.zveq"), "" };
    Trigger("miLoadFromFile");
    Trigger("miLoadFromFile");
    EXPECT_EQ(CurrentBands(), (Bands { 2, 2, 2, 2, 2, 2, 2, 2, 2, 2 }));
    ASSERT_EQ(dialogs->boxes.size(), 3u);
    EXPECT_EQ(dialogs->boxes[1].kind, BoxKind::Message);
    EXPECT_EQ(dialogs->boxes[1].text, "打开失败");
    EXPECT_EQ(dialogs->boxes[2].kind, BoxKind::OpenFile) << "a cancelled dialog shows nothing more";
}

TEST_F(EqualizerFormTest, SavingWritesTheBandsOrReportsTheRefusal)
{
    const Bands bands { -15, 0, 1, 2, 3, 4, 5, 6, 7, 15 };
    form->SetBands(bands);
    const std::string refused = dir.file("no such folder/mine.zveq");
    dialogs->files = { dir.file("mine.zveq"), refused };
    Child<QToolButton>(QStringLiteral("btnSave"))->click();
    Trigger("miSaveToFile");

    TEqPreset saved;
    ASSERT_TRUE(TEqPresetManager::LoadPreset(dir.file("mine.zveq"), saved));
    EXPECT_EQ(saved.Bands, bands);
    ASSERT_EQ(dialogs->boxes.size(), 3u);
    const SaveFileRequest& request = dialogs->boxes[0].save;
    EXPECT_EQ(request.title, "Save preset");
    EXPECT_EQ(request.filter, "均衡器配置 (*.zveq)|*.zveq");
    EXPECT_EQ(request.defaultExt, "zveq");
    EXPECT_EQ(dialogs->boxes[2].kind, BoxKind::Show);
    EXPECT_EQ(dialogs->boxes[2].icon, DialogIcon::Error);
    EXPECT_EQ(dialogs->boxes[2].text, "Unable to write to " + refused + ".");
    EXPECT_EQ(CurrentBands(), bands);
}

} // namespace
