-- Special functions of the address module: two plain ones and one offered only for an address
-- with an e-mail address (the condition reads the shown record's field).
INSERT INTO sondfunc (sf_sqltable, sf_nr, sf_txtnr, sf_imageindex, sf_cond, sf_emptyallowed, sf_sql)
VALUES
    ('adressen', 1, 40101, 56, NULL, false,
     'UPDATE adressen SET ort = upper(ort) WHERE dbrid = :dbrid'),
    ('adressen', 2, 40102, NULL, NULL, false,
     'INSERT INTO adressen (name, ort, plz) SELECT name || '' (Kopie)'', ort, plz FROM adressen WHERE dbrid = :dbrid'),
    ('adressen', 3, 40103, NULL, 'coalesce(:email, '''') <> ''''', false, NULL);

-- The information button (F4) of the address module looks addresses up by name.
INSERT INTO f2poss (f2_modul, f2_feld, f2_sql)
VALUES ('TFormAdress', 'DBN1', 'SELECT name, ort, plz FROM adressen ORDER BY name')
ON CONFLICT (f2_modul, f2_feld) DO NOTHING;

-- The dashboard, a small window of its own under "Extras".
INSERT INTO mainmenu (mm_id, mm_parent, mm_order, mm_caption, mm_formclassname, mm_library, mm_proc)
VALUES (311, 309, 20, 'Dashboard', 'TDashboardModul', 'Dashboard.M', 'DASHBOARDMODUL');
