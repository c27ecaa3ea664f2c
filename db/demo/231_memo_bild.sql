-- A small picture in the formatted demo text: a 48 x 32 colour gradient as a 24-bit
-- device-independent bitmap, rows bottom-up, as the memo editor's picture button inserts it.
UPDATE demo_texte
SET txt_rtf = left(rtrim(txt_rtf, E' \r\n'), length(rtrim(txt_rtf, E' \r\n')) - 1)
    || E'\\pard\\qc {\\pict\\dibitmap\\picw48\\pich32\\picwgoal1440\\pichgoal960 '
    || '280000003000000020000000010018000000000000120000' || repeat('0', 32)
    || (SELECT string_agg(upper(lpad(to_hex(192 - x * 2), 2, '0') || lpad(to_hex(112 + y * 3), 2, '0')
                                || lpad(to_hex(40 + x * 4), 2, '0')), '' ORDER BY y, x)
        FROM generate_series(0, 31) AS y, generate_series(0, 47) AS x)
    || E'}\\par\r\n}'
WHERE id = 2 AND position('\pict' IN txt_rtf) = 0;
