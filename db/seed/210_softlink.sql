-- Captions of the soft-link button and of the module-link entries of its menu.
INSERT INTO text0 (t_nr, t_feld0, t_feld3) VALUES
    (26308, 'Softlinks', 'Soft links'),
    (26530, 'Link kopieren', 'Copy link'),
    (26543, 'Modul-Link', 'Module link'),
    (26544, 'Link per E-Mail senden', 'Send link by e-mail')
ON CONFLICT (t_nr) DO NOTHING;
