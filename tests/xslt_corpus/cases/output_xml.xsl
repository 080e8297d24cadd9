<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="xml" doctype-system="out.dtd" doctype-public="-//Q//Out//EN" cdata-section-elements="code" standalone="yes"/>
<xsl:template match="/"><out><code>a &lt; b &amp;&amp; c</code><e/><t>&#233;</t></out></xsl:template>
</xsl:stylesheet>
