#include <QCheckBox>
#include <QLabel>
#include <QSlider>
#include <QtTest>

#include "PageTestSupport.h"
#include "UiTestSupport.h"
#include "settings/CfgKeys.h"
#include "ui/ColorBox.h"
#include "ui/frmToolsDesignerU.h"

using namespace corvina;

using test::Get;
using test::Set;

class FrmToolsDesignerTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir;

 private slots:
  void initTestCase() { test::UseFreshExecutableFolder(dir); }
  void init() { GetLocalCfgIntf()->BeginUpdate(); }
  void cleanup() { GetLocalCfgIntf()->CancelUpdate(); }

  // Runs first, on an empty store.
  void freshStoreShowsTheDesignValuesAndWritesAllFourKeysInOrder() {
    TfrmToolsDesigner page(nullptr);
    page.FormCreate();
    QCOMPARE(page.BackColorBox->currentText(), QString("clBtnFace"));
    QCOMPARE(page.FontColorBox->currentText(), QString("clBlack"));
    QCOMPARE(page.AlphaBlendTrackBar->value(), 0);
    QCOMPARE(page.AlphaBlendLabel->text(), QString("000"));
    QVERIFY(!page.AutoCheckBox->isChecked());
    QCOMPARE(page.AutoCheckBox->text(), QString("Запускать программу при входе в систему"));
    page.FormCloseQuery();
    GetLocalCfgIntf()->EndUpdate();
    QCOMPARE(test::StoredKeys(),
             (QStringList{"BackgroundColor", "FontColor", "AlphaBlend", "AutoStart"}));
    QCOMPARE(Get(kBackgroundColor), Variant::FromString("clBtnFace"));
    QCOMPARE(Get(kFontColor), Variant::FromString("clBlack"));
    QCOMPARE(Get(kAlphaBlend), Variant::FromInteger(255));
    QCOMPARE(Get(kAutoStart), Variant::FromBoolean(false));
  }

  void listsHoldFiftyNamedColoursInOrder() {
    TfrmToolsDesigner page(nullptr);
    for (TColorBox* box : {page.BackColorBox, page.FontColorBox}) {
      QCOMPARE(box->count(), 50);
      QStringList expected;
      for (const TColorName& c : ColorNames())
        if (c.Value != clNone && c.Value != clDefault) expected << c.Name;
      QStringList shown;
      for (int i = 0; i < box->count(); ++i) shown << box->itemText(i);
      QCOMPARE(shown, expected);
      QVERIFY(!box->itemIcon(0).isNull());  // a swatch before every name
    }
  }

  void storedValuesAreShownAndWrittenBackUnchanged() {
    Set(kBackgroundColor, Variant::FromString("$FF00000F"));  // clBtnFace in hexadecimal
    Set(kFontColor, Variant::FromString("clred"));
    Set(kAlphaBlend, Variant::FromInteger(200));
    Set(kAutoStart, Variant::FromBoolean(true));
    TfrmToolsDesigner page(nullptr);
    page.FormCreate();
    QCOMPARE(page.BackColorBox->currentText(), QString("clBtnFace"));
    QCOMPARE(page.FontColorBox->currentText(), QString("clRed"));
    QCOMPARE(page.AlphaBlendTrackBar->value(), 55);
    QCOMPARE(page.AlphaBlendLabel->text(), QString("55"));
    QVERIFY(page.AutoCheckBox->isChecked());
    page.FormCloseQuery();
    QCOMPARE(Get(kBackgroundColor), Variant::FromString("clBtnFace"));
    QCOMPARE(Get(kFontColor), Variant::FromString("clRed"));
    QCOMPARE(Get(kAlphaBlend), Variant::FromInteger(200));
    QCOMPARE(Get(kAutoStart), Variant::FromBoolean(true));
  }

  void anOpaqueWindowShowsTheSingleDigitZero() {
    Set(kAlphaBlend, Variant::FromInteger(255));
    TfrmToolsDesigner page(nullptr);
    page.FormCreate();
    QCOMPARE(page.AlphaBlendTrackBar->value(), 0);
    QCOMPARE(page.AlphaBlendLabel->text(), QString("0"));  // not the initial "000"
  }

  void movingTheSliderFollowsInTheLabelAndTheStoredOpacity() {
    TfrmToolsDesigner page(nullptr);
    page.FormCreate();
    page.AlphaBlendTrackBar->setValue(255);
    QCOMPARE(page.AlphaBlendLabel->text(), QString("255"));
    page.AutoCheckBox->setChecked(true);
    page.FontColorBox->setCurrentIndex(page.FontColorBox->findText("clWhite"));
    page.FormCloseQuery();
    QCOMPARE(Get(kAlphaBlend), Variant::FromInteger(0));
    QCOMPARE(Get(kAutoStart), Variant::FromBoolean(true));
    QCOMPARE(Get(kFontColor), Variant::FromString("clWhite"));
  }

  // A hand-edited colour that no entry has survives a visit of the page.
  void anUnlistedColourIsKept() {
    Set(kBackgroundColor, Variant::FromString("$00123456"));
    TfrmToolsDesigner page(nullptr);
    page.FormCreate();
    QCOMPARE(page.BackColorBox->currentText(), QString("$00123456"));
    page.FormCloseQuery();
    QCOMPARE(Get(kBackgroundColor), Variant::FromString("$00123456"));
  }

  // The dialog reports the error; the page keeps what it read before it.
  void anUnreadableColourStopsTheReadingThere() {
    Set(kBackgroundColor, Variant::FromString("clRed"));
    Set(kFontColor, Variant::FromString("not a colour"));
    Set(kAlphaBlend, Variant::FromInteger(100));
    TfrmToolsDesigner page(nullptr);
    QVERIFY_THROWS_EXCEPTION(EConvertError, page.FormCreate());
    QCOMPARE(page.BackColorBox->currentText(), QString("clRed"));
    QCOMPARE(page.FontColorBox->currentText(), QString("clBlack"));
    QCOMPARE(page.AlphaBlendTrackBar->value(), 0);
  }
};

QTEST_MAIN(FrmToolsDesignerTest)
#include "frmToolsDesignerTest.moc"
