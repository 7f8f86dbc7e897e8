#include "net/port_select.h"

#include <gtest/gtest.h>

TEST(PortSelect, ClicksStoreTheirPortAndOkKeepsIt) {
  PortSelectDialog opened(2);
  EXPECT_EQ(opened.selectedPort, 2);  // OK at once
  for (int i = 0; i < PortSelectDialog::kButtonCount; ++i) EXPECT_FALSE(opened.IsPressed(i));

  PortSelectDialog dialog(0);
  dialog.ClickButton(1173);  // "4"
  EXPECT_EQ(dialog.selectedPort, 3);
  dialog.ClickButton(1170);  // "1"
  EXPECT_EQ(dialog.selectedPort, 0);
  EXPECT_TRUE(dialog.IsPressed(0));
  dialog.ClickButton(1174);  // not a port button
  dialog.ClickPort(7);
  EXPECT_EQ(dialog.selectedPort, 0);
  EXPECT_STREQ(PortSelectDialog::ButtonText(3), "4");
}
