-- Demo data: two users, a small main menu and its texts.
INSERT INTO mitarbeiter (mitnr, m_login, m_name, m_vorname, m_admin, m_sprache) VALUES
    (1, 'admin', 'Administrator', '', true, 0),
    (2, 'mueller', 'Müller', 'Erika', false, 0),
    (3, 'postgres', 'Datenbank', 'Verwalter', true, 0);

INSERT INTO text0 (t_nr, t_feld0, t_feld3) VALUES
    (100, 'Stammdaten', 'Master data'),
    (101, 'Adressen', 'Addresses'),
    (110, 'Hilfe', 'Help'),
    (111, 'Info', 'About'),
    (112, 'Adressen der Kunden und Lieferanten', 'Addresses of customers and suppliers');

INSERT INTO mainmenu (mm_id, mm_parent, mm_order, mm_text, mm_caption, mm_formclassname,
                      mm_shorthlptxtnr) VALUES
    (1, NULL, 10, 100, 'Stammdaten', NULL, NULL),
    (2, 1, 10, 101, 'Adressen', 'TFormAdress', 'xtt112'),
    (3, NULL, 90, 110, 'Hilfe', NULL, NULL),
    (4, 3, 10, 111, 'Info', 'TFormInfo', NULL);
