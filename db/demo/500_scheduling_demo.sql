-- Planning-board demo: five machines over eight weeks around the turn of 2025/2026, orders of
-- one to five days, every seventh position clashing with another on its machine.
INSERT INTO scheduling.entity (a2_id, a2_ab_ix, a2_n, a2_bezeichnung, a2_status)
SELECT i, 24000 + i / 4, i % 4 + 1,
       (ARRAY['Fräsen', 'Drehen', 'Schleifen', 'Montage', 'Lackieren'])[i % 5 + 1]
           || ' Auftrag ' || (24000 + i / 4),
       i % 3
FROM generate_series(1, 120) AS i;

INSERT INTO scheduling.resource_timeline (ti_resource_id, ti_a2_id, ti_date_start, ti_date_end,
                                          ti_conflicted)
SELECT 100 + e.a2_id % 5,
       e.a2_id,
       d.day + time '07:00' + ((e.a2_id % 4) || ' hours')::interval,
       d.day + time '15:00',
       e.a2_id % 7 = 0
FROM scheduling.entity e
CROSS JOIN LATERAL (
    SELECT date '2025-12-01' + ((e.a2_id * 37) % 56) + k AS day
    FROM generate_series(0, e.a2_id % 5) AS k) d;
