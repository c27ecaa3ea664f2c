-- The serial numbers of a stock document: those preset for it and those its receipts and stock
-- records brought in.
-- Written back to lagsernr (key lgs_id); the columns of other tables are read only.
INSERT INTO standardsql (ss_key, ss_sql, ss_descr) VALUES
('TFrameProduktSerNr.Seriennummern',
$sql$WITH d AS (SELECT CAST(:ld_id AS integer) AS ld_id),
ids AS (SELECT m.ms_lgs_id AS lgs_id FROM mapsernr m, d
         WHERE m.ms_table = 'ldsdok'::regclass AND m.ms_pkey = d.ld_id
        UNION
        SELECT s.lgs_id FROM lagsernr s JOIN wendat w ON w.w_wen = s.w_wen, d
         WHERE w.w_ld_id = d.ld_id
        UNION
        SELECT s.lgs_id FROM lagsernr s JOIN lag g ON g.lg_id = s.lg_id, d
         WHERE g.lg_ld_id = d.ld_id)
SELECT s.lgs_sernr, m.ms_id IS NOT NULL AS "isVorgabeSN",
       s.lgs_id, s.lg_id, g.lg_aknr,
       s.w_wen, w.w_aknr, w.w_ab_ix_sn,
       s.l_nr, l.l_aknr, l.l_ab_ix_sn, l.l_ag_nr AS ag_nr,
       g.lg_ort, g.lg_chnr
  FROM ids JOIN lagsernr s ON s.lgs_id = ids.lgs_id CROSS JOIN d
  LEFT JOIN mapsernr m ON m.ms_lgs_id = s.lgs_id AND m.ms_table = 'ldsdok'::regclass
                      AND m.ms_pkey = d.ld_id
  LEFT JOIN wendat w ON w.w_wen = s.w_wen
  LEFT JOIN lag g ON g.lg_id = s.lg_id
  LEFT JOIN lifsch l ON l.l_nr = s.l_nr
 ORDER BY s.lgs_sernr, s.lgs_id$sql$,
 'Seriennummern eines Lagerzugangs');

-- The order lookup of the preset memo: order items with their serial numbers.
INSERT INTO f2poss (modulname, feldname, f2_query) VALUES
('TFrameProduktSerNr', 'mVorgabeSN',
 'SELECT agmi_sernr, agmi_ag_nr, agmi_aknr FROM auftgmi WHERE btrim(agmi_sernr) <> '''' ORDER BY agmi_ag_nr, agmi_id');
