CREATE SCHEMA IF NOT EXISTS tlager;

-- Links the serial numbers of a text (one a line) to stock document p_ld_id as presets. Lines are
-- trimmed, empty lines and repeats dropped; numbers the article does not know yet are created.
-- Refuses the whole text (nothing added) for a done or missing document or an unfit number.
-- Returns how many presets were new.
CREATE OR REPLACE FUNCTION tlager.lagsernr__mapsernr__vorgabesernr__extract_from_text(
    p_text text, p_ld_id integer) RETURNS integer
LANGUAGE plpgsql AS $$
DECLARE
    v_aknr  text;
    v_done  boolean;
    v_bad   text;
    v_count integer;
    v_nrs   text[];
BEGIN
    SELECT ld_aknr, ld_done INTO v_aknr, v_done FROM ldsdok WHERE ld_id = p_ld_id;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Lagerzugang % nicht gefunden', p_ld_id;
    END IF;
    IF v_done THEN
        RAISE EXCEPTION 'Lagerzugang % ist erledigt: keine Vorgabe-Seriennummern mehr', p_ld_id;
    END IF;
    v_nrs := ARRAY(SELECT DISTINCT btrim(l, E' \t\r')
                     FROM regexp_split_to_table(coalesce(p_text, ''), E'\n') AS l
                    WHERE btrim(l, E' \t\r') <> '');
    SELECT n INTO v_bad FROM unnest(v_nrs) AS n
     WHERE length(n) > 40 OR n ~ '[[:cntrl:]]' LIMIT 1;
    IF FOUND THEN
        RAISE EXCEPTION 'Seriennummer "%" ist ungültig: höchstens 40 Zeichen, keine Steuerzeichen',
            left(v_bad, 60);
    END IF;
    INSERT INTO lagsernr (lgs_sernr, lgs_aknr)
    SELECT n, v_aknr FROM unnest(v_nrs) AS n
    ON CONFLICT (lgs_aknr, lgs_sernr) DO NOTHING;
    INSERT INTO mapsernr (ms_lgs_id, ms_table, ms_pkey)
    SELECT s.lgs_id, 'ldsdok'::regclass, p_ld_id
      FROM unnest(v_nrs) AS n JOIN lagsernr s ON s.lgs_aknr = v_aknr AND s.lgs_sernr = n
    ON CONFLICT DO NOTHING;
    GET DIAGNOSTICS v_count = ROW_COUNT;
    RETURN v_count;
END $$;

-- The serial-number generator: as many new numbers as the document's quantity still lacks presets,
-- p_prefix (default: the article number and "-") followed by a six-digit counter, skipping
-- numbers the article already has.
CREATE OR REPLACE FUNCTION tlager.lagsernr__presetting__create(
    p_ld_id integer, p_prefix text DEFAULT NULL) RETURNS SETOF text
LANGUAGE plpgsql STABLE AS $$
DECLARE
    v_aknr   text;
    v_stk    numeric;
    v_have   integer;
    v_known  integer;
    v_prefix text;
BEGIN
    SELECT ld_aknr, ld_stk INTO v_aknr, v_stk FROM ldsdok WHERE ld_id = p_ld_id;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Lagerzugang % nicht gefunden', p_ld_id;
    END IF;
    SELECT count(*) INTO v_have FROM mapsernr
     WHERE ms_table = 'ldsdok'::regclass AND ms_pkey = p_ld_id;
    SELECT count(*) INTO v_known FROM lagsernr WHERE lgs_aknr = v_aknr;
    v_prefix := coalesce(p_prefix, v_aknr || '-');
    RETURN QUERY
    SELECT v_prefix || lpad(i::text, 6, '0')
      FROM generate_series(1, greatest(ceil(v_stk)::integer - v_have, 0) + v_known) AS i
     WHERE NOT EXISTS (SELECT 1 FROM lagsernr s
                        WHERE s.lgs_aknr = v_aknr AND s.lgs_sernr = v_prefix || lpad(i::text, 6, '0'))
     ORDER BY i
     LIMIT greatest(ceil(v_stk)::integer - v_have, 0);
END $$;
