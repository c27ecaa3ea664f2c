-- Texts of the memo editor's colour gallery, numbering entries and find and replace.
INSERT INTO text0 (t_nr, t_feld0, t_feld3) VALUES
    (6216, 'Schriftfarbe', 'Font colour'),
    (6219, 'Linksbündig', 'Align left'),
    (17883, 'Weitere Farben…', 'More colours…'),
    (17884, 'Standard', 'Standard'),
    (17886, 'Designfarben', 'Theme colours'),
    (17887, 'Buchstaben a. b. c.', 'Letters a. b. c.'),
    (17888, 'Nummerierung 1. 2. 3.', 'Numbering 1. 2. 3.'),
    (17889, 'Aufzählungszeichen', 'Bullets'),
    (17890, 'Der Suchbegriff wurde nicht gefunden.', 'The search text was not found.'),
    (17891, '%d Stelle(n) ersetzt.', '%d occurrence(s) replaced.')
ON CONFLICT (t_nr) DO NOTHING;
