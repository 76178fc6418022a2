UPDATE `Component` SET `Attributes` = 16 WHERE `Component` = 'DlvFolder'
UPDATE `Component` SET `Attributes` = 144 WHERE `Component` = 'UserFolder'
UPDATE `Shortcut` SET `ShowCmd` = 1 WHERE `Shortcut` = 'LauncherStartup'
CREATE TABLE `Condition` (`Feature_` CHAR(38) NOT NULL, `Level` SHORT NOT NULL, `Condition` CHAR(255) PRIMARY KEY `Feature_`, `Level`)
INSERT INTO `Condition` (`Feature_`, `Level`, `Condition`) VALUES ('Startup', 1, 'STARTUP = "1"')
