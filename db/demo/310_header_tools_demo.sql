-- A special function of the address module offered only for an address with an e-mail address
-- (the condition reads the shown record's field).
INSERT INTO sondfunc (sf_sqltable, sf_nr, sf_txtnr, sf_imageindex, sf_cond, sf_emptyallowed, sf_sql)
VALUES
    ('adressen', 3, 40103, NULL, 'coalesce(:email, '''') <> ''''', false, NULL);

-- The information button (F4) of the address module looks addresses up by name.
INSERT INTO f2poss (modulname, feldname, f2_query)
VALUES ('TFormAdress', 'DBN1', 'SELECT name, ort, plz FROM adressen ORDER BY name');

-- The dashboard, a small window of its own under "Extras".
INSERT INTO mainmenu (mm_id, mm_parent, mm_order, mm_caption, mm_formclassname, mm_library, mm_proc)
VALUES (311, 309, 20, 'Dashboard', 'TDashboardModul', 'Dashboard.M', 'DASHBOARDMODUL');
