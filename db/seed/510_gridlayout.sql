-- Messages of the planning board's stored grid layouts.
INSERT INTO text0 (t_nr, t_feld0, t_feld3) VALUES
    (17553, 'Benutzer ohne Login können keine privaten Filter/Layouts anlegen.',
     'Users without a login cannot create private filters or layouts.');
