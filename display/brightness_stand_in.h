#pragma once
// Stand-in for the display's brightness control until it is built: the level the test patterns
// hand back to the sign when they do not drive the brightness themselves. Under manual
// illumination control (dmsIllumControl 4) it sends dmsIllumManLevel; otherwise it sends nothing.
// Nothing either while the test pattern in force drives the brightness (9, 10, 25, 35).

class display_driver;

class CBrightnessStandIn {
public:
    static void Update(display_driver* driver);
};
