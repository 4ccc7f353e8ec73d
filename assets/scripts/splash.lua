-- The splash screen: the publisher's branding (the first picture of screenbranding/), then the
-- studio logo flying together over its background, while the menu's pictures and sounds load one a
-- frame. A click or a key skips a stage. At its end it swaps itself for the main menu.
MakeDialog {
    SplashScreen {
        name = "splash", x = 0, y = 0, w = 800, h = 600,
        -- The game's own volume groups: music under the music volume, effects and voices under
        -- the effect volume.
        soundgroups = { music = { 1101, 1.0 }, sfx = { 1100, 1.0, 1102, 0.9 } },
        publisherduration = 1500, publisheroutro = 400,
        tovrixintro = 1600, tovrixduration = 1200, tovrixoutro = 500,
        screen1 = "splash/studio", screen2 = "splash/studio_bg",
        soundlogo = "logo",
        -- The music is named as the menu plays it: the first play of a name fixes its group.
        assets = {
            graphics = { "menu/bg", "menu/logo", "ui/button_n", "ui/button_h", "ui/button_p" },
            audio = { "music_menu?group=1001", "click", "hover" },
        },
        Text {
            name = "copyright", label = "copyright",
            x = kCenter, y = 560, w = 600, h = 24, flags = gStyles.centred,
            font = gStyles.fonts.small,
        },
    },
}
