// Writes a few settings through the process-wide store of the executable's
// own settings file and exits; CfgProcessTest reads them back in another process.

#include <exception>
#include <iostream>

#include "settings/CfgKeys.h"

int main() {
  using namespace corvina;
  try {
    const auto cfg = GetLocalCfgIntf();
    cfg->BeginUpdate();
    cfg->SetValue(kMacBind, Variant::FromString("02-00-5E-10-00-01"));
    cfg->SetValue(kFormLeft, Variant::FromInteger(-120));
    cfg->SetValue(kShowTCP, Variant::FromBoolean(false));
    cfg->SetValue(kBackgroundColor, Variant::FromString(ColorToString(clBtnFace)));
    cfg->EndUpdate();
    return 0;
  } catch (const std::exception& e) {
    std::cerr << e.what() << '\n';
    return 1;
  }
}
