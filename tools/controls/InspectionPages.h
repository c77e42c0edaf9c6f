#pragma once

class QWidget;

// One page of the inspection program per control family, each showing its controls in their
// states so a person can try them by hand and screenshots can be made.
QWidget* MakeSkinPage();
QWidget* MakeSliderPage();
QWidget* MakeButtonsPage();
QWidget* MakePathTextPage();
QWidget* MakeBarPage();
QWidget* MakeCheckPage();
QWidget* MakeTextPicturePage();
QWidget* MakeListPage();
