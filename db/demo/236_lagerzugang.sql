-- Stock receipts of the sample module: two documents of a serial-number article, one with used
-- and preset numbers, and an order whose items carry serial numbers.
INSERT INTO art (ak_nr, ak_bez, ak_sernrreq) VALUES
    ('PUMPE-200', 'Kreiselpumpe 200 l/min', true),
    ('SCHRAUBE-M8', 'Sechskantschraube M8x30', false);

INSERT INTO ldsdok (ld_id, ld_aknr, ld_stk, ld_txt, ld_ag_nr, ld_done) VALUES
    (1, 'PUMPE-200', 8, 'Wareneingang Lieferant Brenner, Lieferschein 4471', 5001, false),
    (2, 'PUMPE-200', 2, 'Wareneingang Rücksendung Kunde Haller', NULL, true);
SELECT setval(pg_get_serial_sequence('ldsdok', 'ld_id'), 2);

INSERT INTO wendat (w_wen, w_ld_id, w_aknr, w_ab_ix_sn) VALUES (7001, 1, 'PUMPE-200', 1);
INSERT INTO lag (lg_id, lg_aknr, lg_ld_id, lg_ort, lg_chnr)
VALUES (301, 'PUMPE-200', 1, 'Halle 2 / R 04', 'CH-2026-11');
INSERT INTO lifsch (l_nr, l_aknr, l_ab_ix_sn, l_ag_nr) VALUES (9101, 'PUMPE-200', 1, 5001);

INSERT INTO lagsernr (lgs_sernr, lgs_aknr, w_wen, lg_id, l_nr) VALUES
    ('PU200-000101', 'PUMPE-200', 7001, 301, 9101),
    ('PU200-000102', 'PUMPE-200', 7001, 301, NULL),
    ('PU200-000103', 'PUMPE-200', 7001, NULL, NULL),
    ('PU200-000104', 'PUMPE-200', NULL, NULL, NULL),
    ('PU200-000105', 'PUMPE-200', NULL, NULL, NULL);
INSERT INTO mapsernr (ms_lgs_id, ms_table, ms_pkey)
SELECT lgs_id, 'ldsdok'::regclass, 1 FROM lagsernr
 WHERE lgs_sernr IN ('PU200-000101', 'PU200-000104', 'PU200-000105');

INSERT INTO auftgmi (agmi_ag_nr, agmi_aknr, agmi_sernr) VALUES
    (5001, 'PUMPE-200', E'PU200-000104\nPU200-000106\nPU200-000107'),
    (5002, 'PUMPE-200', E'PU200-000120\nPU200-000121');

INSERT INTO mainmenu (mm_id, mm_parent, mm_order, mm_caption, mm_formclassname, mm_library, mm_proc)
VALUES (320, 1, 40, 'Lagerzugang', 'TFormLagerzugang', 'Lager.M', 'LAGERZUGANG');

-- Column captions of the serial-number grid (written to lagsernr) and of the document grid.
INSERT INTO tablefieldinfo (tablename, field, alias) VALUES
    ('lagsernr', '', 'Seriennummern'),
    ('lagsernr', 'lgs_sernr', 'Seriennummer'),
    ('lagsernr', 'isvorgabesn', 'Vorgabe'),
    ('lagsernr', 'lgs_id', 'SN-ID'),
    ('lagsernr', 'lg_id', 'Lager-ID'),
    ('lagsernr', 'lg_aknr', 'Artikel (Lager)'),
    ('lagsernr', 'w_wen', 'Wareneingang'),
    ('lagsernr', 'w_aknr', 'Artikel (Eingang)'),
    ('lagsernr', 'w_ab_ix_sn', 'Pos. Eingang'),
    ('lagsernr', 'l_nr', 'Lieferschein'),
    ('lagsernr', 'l_aknr', 'Artikel (Abgang)'),
    ('lagsernr', 'l_ab_ix_sn', 'Pos. Abgang'),
    ('lagsernr', 'ag_nr', 'Auftrag'),
    ('lagsernr', 'lg_ort', 'Lagerort'),
    ('lagsernr', 'lg_chnr', 'Charge'),
    ('ldsdok', '', 'Lagerzugänge'),
    ('ldsdok', 'ld_id', 'Beleg'),
    ('ldsdok', 'ld_aknr', 'Artikel'),
    ('ldsdok', 'ld_stk', 'Menge'),
    ('ldsdok', 'ld_txt', 'Text'),
    ('ldsdok', 'ld_ag_nr', 'Auftrag'),
    ('ldsdok', 'ld_done', 'Erledigt')
ON CONFLICT (tablename, field) DO UPDATE SET alias = EXCLUDED.alias;
