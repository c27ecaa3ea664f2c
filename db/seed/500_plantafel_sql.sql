-- Named SQL of the planning board's container data source. The macros are filled by the engine:
-- _AggregateAndGroupingFields_DAT with the nine computed key columns (ISO year, week and day of
-- ti_date_start), _ResourceIDSelect with the resource ids. The span arrives as the parameters
-- _AssumedNow and _EndDateTime ("yyyy-mm-dd hh:nn:ss"); the end day counts whole, since the
-- calendar covers whole dates.
INSERT INTO standardsql (ss_key, ss_sql, ss_descr) VALUES
('PT.TPlantafelContainerDataSource_Core',
$sql$SELECT
&_AggregateAndGroupingFields_DAT,
  scheduling.resource_timeline.ti_id,
  scheduling.resource_timeline.ti_date_start,
  scheduling.resource_timeline.ti_conflicted,
  e.a2_ab_ix,
  e.a2_n,
  scheduling.resource_timeline.ti_a2_id
FROM scheduling.resource_timeline
JOIN scheduling.entity e ON e.a2_id = scheduling.resource_timeline.ti_a2_id
WHERE scheduling.resource_timeline.ti_resource_id IN (&_ResourceIDSelect)
  AND scheduling.resource_timeline.ti_date_start >= :_AssumedNow::timestamp
  AND scheduling.resource_timeline.ti_date_start
      < date_trunc('day', :_EndDateTime::timestamp) + interval '1 day'$sql$,
 'Plantafel: Zeitleiste der Ressourcen im Zeitraum'),
('PT.TPlantafelContainerDataSource_Info',
$sql$SELECT
  e.a2_id,
  e.a2_ab_ix,
  e.a2_n,
  e.a2_bezeichnung,
  e.a2_status
FROM scheduling.entity e
WHERE e.a2_id IN (
  SELECT scheduling.resource_timeline.ti_a2_id
  FROM scheduling.resource_timeline
  WHERE scheduling.resource_timeline.ti_resource_id IN (&_ResourceIDSelect)
    AND scheduling.resource_timeline.ti_date_start >= :_AssumedNow::timestamp
    AND scheduling.resource_timeline.ti_date_start
        < date_trunc('day', :_EndDateTime::timestamp) + interval '1 day')$sql$,
 'Plantafel: Informationszeile je Position im Zeitraum');
